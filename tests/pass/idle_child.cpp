// A process for the trim tests to end while the walk is under way: it only waits to be ended.
#include <windows.h>

int main() {
    ::Sleep(60000);
    return 0;
}
