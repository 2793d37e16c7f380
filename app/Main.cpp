#include "app/AppText.h"
#include "app/DpiAwareness.h"
#include "app/Gathering.h"
#include "app/MainForm.h"

#include <objbase.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before any window: the window draws itself at each monitor's density.
    DeclareDpiAwareness();
    // COM for this, the only thread; the link labels' browser start needs it.
    const HRESULT com = CoInitialize(nullptr);
    int exitCode = 0;
    {
        // A start with packages joins the instances started with it (a multiple selection in
        // Explorer); a plain start stays apart.
        const StartupArguments arguments = ReadStartupCommandLine(GetCommandLineA());
        std::unique_ptr<Gathering> gathering;
        if (!arguments.plainStart && !arguments.apkFileNames.empty()) {
            gathering = std::make_unique<Gathering>();
            if (!gathering->First() && gathering->HandOver(arguments.apkFileNames)) {
                if (SUCCEEDED(com))
                    CoUninitialize();
                return 0;
            }
        }
        FormSeams seams;
        Gathering* const first = gathering && gathering->First() ? gathering.get() : nullptr;
        seams.windowMade = [first](HWND window) {
            if (first != nullptr)
                first->Mark(window);
        };
        std::unique_ptr<TfrmMain> form;
        try {
            form = TfrmMain::Create(instance, seams);
        } catch (const std::exception& error) {
            MessageBoxA(nullptr, WithFullStop(error.what()).c_str(), kApplicationTitle, MB_OK | MB_ICONSTOP);
            if (SUCCEEDED(com))
                CoUninitialize();
            return 1;
        }
        form->Show(showCommand);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchWindowMessage(message);
        exitCode = static_cast<int>(message.wParam);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}
