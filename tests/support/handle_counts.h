// How many GDI and USER objects a process can still make: GetGuiResources fails under Wine
// (error 120), so what is still free is counted instead: objects are made until the system
// refuses one, then freed. Wine grants a process 65,536 GDI handles, and the processes of a
// session share about 32,700 USER handles (windows, menus, icons). A count that drops between
// two moments is a leak of that many objects.
#pragma once

#include <windows.h>

#include <vector>

namespace dp::test {

template <typename Make, typename Free> int CountFree(Make make, Free free) {
    std::vector<decltype(make())> made;
    made.reserve(70000);
    while (made.size() < made.capacity()) {
        const auto handle = make();
        if (!handle)
            break;
        made.push_back(handle);
    }
    for (const auto handle : made)
        free(handle);
    return static_cast<int>(made.size());
}

inline int FreeGdiHandles() {
    return CountFree([] { return ::CreateSolidBrush(RGB(1, 2, 3)); },
                     [](HBRUSH brush) { ::DeleteObject(brush); });
}

inline int FreeUserHandles() {
    return CountFree([] { return ::CreateMenu(); }, [](HMENU menu) { ::DestroyMenu(menu); });
}

} // namespace dp::test
