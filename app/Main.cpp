#include "app/AppText.h"
#include "app/DpiAwareness.h"
#include "app/MainForm.h"

#include <objbase.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // Before any window: the window draws itself at each monitor's density.
    DeclareDpiAwareness();
    // COM for this, the only thread; the link labels' browser start needs it.
    const HRESULT com = CoInitialize(nullptr);
    int exitCode = 0;
    {
        std::unique_ptr<TfrmMain> form;
        try {
            form = TfrmMain::Create(instance);
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
