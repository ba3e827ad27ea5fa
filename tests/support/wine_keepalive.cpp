// Keeps the test prefix's Wine system processes alive between the many short test processes.
// Started by scripts/wine-prefix with its output detached, so that the services it keeps do not
// hold a test runner's output pipe open. It ends by itself after ten minutes.
#include <windows.h>

int main() {
    ::Sleep(10 * 60 * 1000);
    return 0;
}
