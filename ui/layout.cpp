#include "ui/layout.h"

namespace tvx {

MainLayout ComputeLayout(int w) {
    MainLayout l;
    const int logoLeft = (w - 130) / 2;  // truncates toward zero, as the C division does
    l.logo = CRect(logoLeft, 258, logoLeft + 130, 391);
    l.settings = CRect(w - 88, 24, w - 64, 48);
    l.close = CRect(w - 48, 24, w - 24, 48);
    l.start = CRect(180, 475, 320, 542);
    l.stop = CRect(180, 475, 320, 542);
    return l;
}

}  // namespace tvx
