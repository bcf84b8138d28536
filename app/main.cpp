// postori: until the window exists, one capture on port 9250 from the
// network to the terminal. Takes no options.
#include <cstdio>

#include "app/core/console_capture.h"
#include "capture/listener.h"

int main() {
    return postori::run_console_capture(postori::DEFAULT_PORT, stdout);
}
