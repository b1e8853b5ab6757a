// The wait for Enter.
#pragma once

// Waits on the controlling terminal for Enter (a carriage return), without
// echo; returns at once without a terminal or when its input has ended.
void wait_for_enter();
