// Where the window's pictures sit, from the client width. Only the logo, the gear and the cross
// follow the width; the START/STOP button stays put.
#pragma once

#include "framework/rect.h"

namespace tvx {

struct MainLayout {
    CRect logo;
    CRect settings;
    CRect close;
    CRect start;
    CRect stop;
};

MainLayout ComputeLayout(int clientWidth);

}  // namespace tvx
