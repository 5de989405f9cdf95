// A trackbar of a dialog template bound to an object: its range and thumb position. The
// trackbar's scroll notifications stay with the dialog, which knows what a position means.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "framework/win32/dialog.h"

namespace dp {

class SliderControl : public SubclassedControl {
public:
    void SetRange(int minimum, int maximum) {
        ::SendMessageW(Handle(), TBM_SETRANGEMIN, FALSE, minimum);
        ::SendMessageW(Handle(), TBM_SETRANGEMAX, TRUE, maximum);
    }
    void SetPos(int position) { ::SendMessageW(Handle(), TBM_SETPOS, TRUE, position); }
    int GetPos() const { return static_cast<int>(::SendMessageW(Handle(), TBM_GETPOS, 0, 0)); }
};

} // namespace dp
