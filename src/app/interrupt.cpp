#include "app/interrupt.h"

#include "scene/interrupt_target.h"

void handle_interrupt(int) { stop_interrupt_target(); }
