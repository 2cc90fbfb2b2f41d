// Our small host: the records and suites of one effect instance, wired
// together the way the host presents them to an effect, and the call into the
// effect's entry point. Each part stays reachable for setting up a case and
// for looking at what the effect did.
#pragma once

#include <mutex>

#include "hostapi/HostApi.h"
#include "minihost/AegpSuites.h"
#include "minihost/AnsiCallbacks.h"
#include "minihost/HandleSuite.h"
#include "minihost/Interact.h"
#include "minihost/Journal.h"
#include "minihost/SmartRender.h"
#include "minihost/SuiteRegistry.h"
#include "minihost/WorldSuite.h"

namespace maculo::minihost {

// The application id this host reports: neither the compositing host's nor
// the video editor's ("PrMr"), so the effect takes it for a full host.
inline constexpr A_AppID kMinihostAppId = FourCharCode("mnHo");

// What sets one frame's commands apart from the host's other commands.
struct FrameCall {
    PF_ProgPtr effectRef;
    A_long time;
    PF_RationalScale downsample;
};

class Host {
public:
    // Offers every suite the effect may ask for and fills PF_InData.
    Host();
    // Disposes of the global data the effect handed over, as the host does at unload.
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    void SetEntry(PF_FilterProc entry) { entry_ = entry; }
    // Calls the entry point with this host's records and the current
    // parameters. Afterwards, as the host does, keeps the global data from
    // global setup and the parameter count from parameter setup.
    PF_Err Send(PF_Cmd cmd, void* extra = nullptr);
    // Calls the entry point with a frame's command on records of the call's
    // own: the host's, with the frame's effect reference, time and
    // downsampling. Frames may be sent this way from several threads at
    // once, while the host's own records stay unchanged; the out_data that
    // the effect leaves becomes the host's afterwards.
    PF_Err SendFrame(const FrameCall& call, PF_Cmd cmd, void* extra);

    PF_InData& InData() { return inData_; }
    PF_OutData& OutData() { return outData_; }
    void SetTime(A_long current, A_long step, A_u_long scale);
    void SetDownsample(A_long num, A_u_long den);

    Journal& Log() { return journal_; }
    SuiteRegistry& Suites() { return suites_; }
    HandleSuite& Handles() { return handles_; }
    WorldSuite& Worlds() { return worlds_; }
    AnsiCallbacks& Ansi() { return ansi_; }
    AegpSuites& Aegp() { return aegp_; }
    Interact& Params() { return params_; }
    SmartRenderHost& Render() { return render_; }

private:
    Journal journal_;
    SuiteRegistry suites_{journal_};
    HandleSuite handles_{journal_};
    WorldSuite worlds_{journal_};
    AnsiCallbacks ansi_{journal_};
    AegpSuites aegp_{journal_};
    Interact params_{journal_};
    SmartRenderHost render_{journal_};

    PF_FilterProc entry_ = nullptr;
    PF_InData inData_{};
    std::mutex outDataMutex_;  // frames sent from several threads leave their out_data here
    PF_OutData outData_{};
    PF_LayerDef unusedOutput_{};  // the classic render target, never used by smart-render effects
};

}  // namespace maculo::minihost
