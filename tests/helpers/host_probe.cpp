// Calls the host-integration functions from wherever a test has placed a copy of it, since the
// base path depends on the executable's own location. The first argument picks the action:
//   paths    writes "<its own full path>.result" as UTF-16 text, one "key=value" line each:
//            base= GetBasePath(), ini= the path LocateUserIni opened (empty when none),
//            exe= FindHostExe (empty when none), registry= HostExeFullPath. Exit code 0.
//   launch   LaunchHost(); it returned (no start): exit code 7. A start ends the probe with 0.
//   classic  UpdateRegistry(true); exit code 0.
//   hd       UpdateRegistry(false); exit code 0.
// Any other argument: exit code 2. Message boxes are left to the test to read and dismiss.

#include "host/compat_layer.h"
#include "host/install_paths.h"

#include <windows.h>

#include <string>

namespace {

constexpr int kLaunchReturned = 7;
constexpr int kUnknownAction = 2;

void WritePaths() {
    const std::wstring base = GetBasePath();
    std::optional<OpenedUserIni> ini = LocateUserIni(base);
    const std::wstring text = L"base=" + base + L"\nini=" + (ini ? ini->path : L"") + L"\nexe=" +
                              FindHostExe(base).value_or(L"") + L"\nregistry=" +
                              HostExeFullPath(base) + L"\n";
    std::wstring self(32768, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    UniqueHandle file =
        AdoptHandle(CreateFileW((self + L".result").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                  &written, nullptr);
}

} // namespace

int main(int argc, char* argv[]) {
    const std::string action = argc >= 2 ? argv[1] : "";
    if (action == "paths")
        WritePaths();
    else if (action == "launch") {
        LaunchHost();
        return kLaunchReturned;
    } else if (action == "classic" || action == "hd")
        UpdateRegistry(action == "classic");
    else
        return kUnknownAction;
    return 0;
}
