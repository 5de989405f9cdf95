#include "updater/win32/settings_dialog.h"

#include <cstddef>

#include "updater/resource_ids.h"

namespace dp {

namespace {

// The template's initial list contents. The proxy list is sorted by its combo box.
constexpr const wchar_t* kCheckIntervals[] = {L"1", L"3", L"5", L"7", L"15", L"30"};
constexpr const wchar_t* kProxyTypes[] = {L"No proxy", L"HTTP proxy", L"sockt5 proxy", L"IE proxy"};

template <std::size_t N> void FillCombo(HWND dialog, int id, const wchar_t* const (&items)[N]) {
    for (const wchar_t* item : items)
        ::SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

} // namespace

UpdaterSettingsDialog::UpdaterSettingsDialog(HWND parent) : Dialog(IDD_RENEWICK_SETTINGS, parent) {}

bool UpdaterSettingsDialog::OnInitDialog() {
    FillCombo(Handle(), IDC_CHECK_INTERVAL, kCheckIntervals);
    FillCombo(Handle(), IDC_PROXY_TYPE, kProxyTypes);
    return true;
}

} // namespace dp
