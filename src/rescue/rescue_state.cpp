#include "rescue/rescue_state.h"

RescueState rescueState;

void resetRescueState() {
    closeWavInput(rescueState.input);
    rescueState = RescueState{};
}
