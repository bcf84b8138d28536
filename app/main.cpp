// postori: for now, reads one HTTP request on standard input and prints what
// the capture makes of it. The listener and the window come later.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "app/request_report.h"

int main() {
    const std::string request{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
    std::cout << postori::describe_request(request);
    return 0;
}
