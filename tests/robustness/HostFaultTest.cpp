// A whole session of the effect in our host (registration, global setup,
// about, parameter setup, a mode switch, one frame at each depth and one GPU
// frame), run once cleanly and then once for every host call of it, that
// call failing in every way it can: with an error code, or with success and
// nothing handed back (a null suite, handle, lock, world or reference). Each
// time the failing command must answer the right code, give back everything
// it took, leave the output alone unless the picture was complete, and leave
// the effect fit for the commands that follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "engine/PatternTypes.h"
#include "minihost/EffectRef.h"
#include "minihost/Host.h"
#include "minihost/PluginLibrary.h"
#include "tests/TestSupport.h"

namespace maculo {
namespace {

using minihost::Fault;
using minihost::kInjectedError;

enum class Step { kRegistration, kGlobalSetup, kAbout, kParamsSetup, kModeSwitch, kFrame };

struct FrameSpec {
    int depth;
    PF_GPU_Framework gpu;
};
constexpr FrameSpec kFrames[] = {{8, PF_GPU_Framework_NONE},
                                 {16, PF_GPU_Framework_NONE},
                                 {32, PF_GPU_Framework_NONE},
                                 {32, PF_GPU_Framework_OPENCL}};
constexpr A_long kWidth = 7, kHeight = 5;

struct StepResult {
    Step step;
    PF_Err code;
    size_t firstCall;  // journal ordinal of the step's first call; its calls end where the next step's begin
    std::vector<unsigned char> before;  // frames: the output's bytes as the host gave them
    std::vector<unsigned char> after;   // frames: the output's bytes afterwards
};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// One session in a host of its own; the call numbered `faultAt` (1 = the
// first) fails as `how`.
class Session {
public:
    explicit Session(size_t faultAt = 0, Fault how = Fault::kNone) {
        host.SetEntry(test::Plugin().EffectMain());
        if (faultAt != 0) host.Log().PlanFault(faultAt, how);
    }

    // Stops where a host would: after a failed registration, global setup or parameter setup.
    std::vector<StepResult> Run() {
        std::vector<StepResult> steps;
        const auto record = [&](Step step, auto command) {
            StepResult result{step, PF_Err_NONE, host.Log().Calls().size() + 1, {}, {}};
            result.code = command(result);
            steps.push_back(std::move(result));
            return steps.back().code;
        };

        minihost::Registration registration;
        if (record(Step::kRegistration, [&](StepResult&) {
                return minihost::Discover(test::Plugin().PluginDataEntry(), registration, A_Err_NONE, &host.Log());
            }))
            return steps;
        if (record(Step::kGlobalSetup, [&](StepResult&) { return host.Send(PF_Cmd_GLOBAL_SETUP); })) return steps;
        test::UseTestGpu(host);
        record(Step::kAbout, [&](StepResult&) { return host.Send(PF_Cmd_ABOUT); });
        if (record(Step::kParamsSetup, [&](StepResult&) { return host.Send(PF_Cmd_PARAMS_SETUP); })) {
            EXPECT_EQ(host.OutData().num_params, 0) << "a failed setup declares no parameter count";
            return steps;
        }

        // Detail mode, so that every control the frame reads matters.
        test::SetControls(host.Params(), {2, kBlurGaussian, kGrayAfter, 6.0, 3.0, 2.0, 800.0, 3});
        record(Step::kModeSwitch, [&](StepResult&) {
            PF_UserChangedParamExtra extra{kParamMode};
            return host.Send(PF_Cmd_USER_CHANGED_PARAM, &extra);
        });

        uint32_t seed = 1;
        for (const FrameSpec& spec : kFrames) {
            record(Step::kFrame, [&](StepResult& result) { return RenderFrame(spec, seed++, result); });
        }
        return steps;
    }

    minihost::Host host;

private:
    PF_Err RenderFrame(const FrameSpec& spec, uint32_t seed, StepResult& result) {
        PF_EffectWorld* layer = test::SeededWorld(host.Worlds(), kWidth, kHeight, spec.depth, 1, seed);
        PF_EffectWorld* output = test::SeededWorld(host.Worlds(), kWidth, kHeight, spec.depth, 2, seed + 100);
        result.before = test::Bytes(*output);
        PF_Err err;
        {
            minihost::Frame frame(host.Render(), minihost::Frame::WholeFrame(kWidth, kHeight), spec.gpu,
                                  int16_t(spec.depth), minihost::FrameWorlds{layer, output});
            const minihost::FrameCall call{frame.EffectRef(), 0, PF_RationalScale{1, 1}};
            err = host.SendFrame(call, PF_Cmd_SMART_PRE_RENDER, frame.PreRenderExtra());
            EXPECT_EQ(frame.PreRenderOutput().pre_render_data != nullptr, err == PF_Err_NONE)
                << "pre-render data is handed over exactly when the pre-render succeeds";
            if (err == PF_Err_NONE) {
                const size_t first = host.Log().Calls().size();
                err = host.SendFrame(call, PF_Cmd_SMART_RENDER, frame.RenderExtra());
                const std::vector<std::string> calls = host.Log().Calls();
                const auto count = [&](const char* prefix) {
                    return std::count_if(calls.begin() + long(first), calls.end(),
                                         [&](const std::string& c) { return StartsWith(c, prefix); });
                };
                // Also after a failed checkout, which may have taken the pixels all the same.
                EXPECT_EQ(count("checkin_layer_pixels"), count("checkout_layer_pixels") > 0 ? 1 : 0)
                    << "the layer is checked in once when it was asked for";
            }
        }  // the host hands the pre-render data back here
        result.after = test::Bytes(*output);
        return err;
    }
};

// The answer the effect owes for a call failing as `how` during `step`.
PF_Err ExpectedCode(const std::string& call, Fault how, Step step) {
    // Answers the effect has no use for: a release, the about text, the AEGP
    // registration (which withholds the global data instead).
    if (StartsWith(call, "ReleaseSuite") || call == "sprintf" || call == "AEGP_RegisterWithAEGP") return PF_Err_NONE;
    if (StartsWith(call, "AcquireSuite(PF World Suite")) return A_Err_MISSING_SUITE;
    if (StartsWith(call, "AcquireSuite")) return PF_Err_BAD_CALLBACK_PARAM;
    if (how == Fault::kError) return kInjectedError;
    // Success with nothing handed back: no memory for the global data, or a damaged record.
    return step == Step::kGlobalSetup ? PF_Err_OUT_OF_MEMORY : PF_Err_INTERNAL_STRUCT_DAMAGED;
}

// Clean-up calls made after the picture is complete: a failure there is
// reported, but the output already holds the whole picture.
bool AfterThePicture(const std::string& call) {
    return call == "PF_DisposeWorld" || StartsWith(call, "checkin_layer_pixels");
}

const char* NameOf(Fault how) { return how == Fault::kError ? "an error code" : "success with nothing"; }

TEST(HostFaults, EveryCallOfASessionFailsInEveryWayItCanAndTheEffectCopes) {
    std::vector<StepResult> cleanSteps;
    std::vector<minihost::RecordedCall> calls;
    PF_OutFlags cleanFlags = 0;
    {
        Session clean;  // one host at a time
        cleanSteps = clean.Run();
        ASSERT_EQ(cleanSteps.size(), 5 + std::size(kFrames));
        for (const StepResult& step : cleanSteps) ASSERT_EQ(step.code, PF_Err_NONE);
        test::ExpectEverythingGivenBack(clean.host);
        calls = clean.host.Log().Records();
        cleanFlags = clean.host.OutData().out_flags;
    }

    int sessions = 0;
    for (size_t k = 1; k <= calls.size(); ++k) {
        const std::string& call = calls[k - 1].entry;
        size_t failing = 0;  // the step that made call k
        while (failing + 1 < cleanSteps.size() && cleanSteps[failing + 1].firstCall <= k) ++failing;
        const Step failingStep = cleanSteps[failing].step;

        for (const Fault how : {Fault::kError, Fault::kEmpty}) {
            if (!(how == Fault::kError ? calls[k - 1].canFail.error : calls[k - 1].canFail.empty)) continue;
            SCOPED_TRACE("call " + std::to_string(k) + ", " + call + ", answering " + NameOf(how));
            ++sessions;
            Session faulty(k, how);
            const std::vector<StepResult> steps = faulty.Run();
            ASSERT_GE(faulty.host.Log().Records().size(), k);
            ASSERT_EQ(faulty.host.Log().Records()[k - 1].entry, call) << "the session is not deterministic";

            const PF_Err expected = ExpectedCode(call, how, failingStep);
            const bool withheldGlobalData = call == "AEGP_RegisterWithAEGP";
            const bool hostGivesUp =
                expected != PF_Err_NONE && (failingStep == Step::kRegistration || failingStep == Step::kGlobalSetup ||
                                            failingStep == Step::kParamsSetup);
            ASSERT_EQ(steps.size(), hostGivesUp ? failing + 1 : cleanSteps.size());

            for (size_t i = 0; i < steps.size(); ++i) {
                const StepResult& step = steps[i];
                SCOPED_TRACE("step " + std::to_string(i));
                PF_Err code = PF_Err_NONE;
                if (i == failing) {
                    code = expected;
                } else if (i > failing && withheldGlobalData &&
                           (step.step == Step::kModeSwitch || step.step == Step::kFrame)) {
                    code = PF_Err_INTERNAL_STRUCT_DAMAGED;  // no global data to work with
                }
                EXPECT_EQ(step.code, code);
                if (step.step != Step::kFrame) continue;
                const bool pictureComplete = step.code == PF_Err_NONE || (i == failing && AfterThePicture(call));
                EXPECT_TRUE(step.after == (pictureComplete ? cleanSteps[i].after : step.before))
                    << (pictureComplete ? "the picture differs from the clean session's"
                                        : "a failed frame touched the output");
            }
            if (expected == A_Err_MISSING_SUITE) {
                EXPECT_EQ(faulty.host.OutData().out_flags, cleanFlags | PF_OutFlag_DISPLAY_ERROR_MESSAGE);
                EXPECT_STREQ(faulty.host.OutData().return_msg, "Not able to acquire AEFX Suite.");
            }
            test::ExpectEverythingGivenBack(faulty.host);
            if (HasFailure()) return;  // one broken case says enough
        }
    }
    std::cout << sessions << " sessions, each with one of " << calls.size() << " host calls failing\n";
}

// Records with parts missing are refused before any host call, and nothing a
// host callback throws reaches the host.
TEST(HostFaults, DamagedRecordsAndThrowingCallbacksAreRefused) {
    Session session;
    ASSERT_EQ(session.host.Send(PF_Cmd_GLOBAL_SETUP), PF_Err_NONE);
    PF_EffectWorld* world = session.host.Worlds().MakeWorld(4, 4, PF_PixelFormat_ARGB32);
    minihost::Frame frame(session.host.Render(), minihost::Frame::WholeFrame(4, 4), PF_GPU_Framework_NONE, 8,
                          minihost::FrameWorlds{world, world});
    const minihost::FrameCall call{frame.EffectRef(), 0, PF_RationalScale{1, 1}};
    session.host.Log().Clear();

    // Each part missing of each frame record, the pre-render's data included:
    // a host that sends one such record must not be crashed by it.
    const PF_PreRenderExtra pre = *frame.PreRenderExtra();
    for (PF_PreRenderExtra damaged :
         {PF_PreRenderExtra{nullptr, pre.output, pre.cb}, PF_PreRenderExtra{pre.input, nullptr, pre.cb},
          PF_PreRenderExtra{pre.input, pre.output, nullptr}})
        EXPECT_EQ(session.host.SendFrame(call, PF_Cmd_SMART_PRE_RENDER, &damaged), PF_Err_INTERNAL_STRUCT_DAMAGED);
    int settings = 0;  // never read: the render stops before it
    PF_SmartRenderInput input{}, withoutData{};
    input.pre_render_data = &settings;
    for (PF_SmartRenderExtra damaged :
         {PF_SmartRenderExtra{nullptr, frame.RenderExtra()->cb}, PF_SmartRenderExtra{&input, nullptr},
          PF_SmartRenderExtra{&withoutData, frame.RenderExtra()->cb}})
        EXPECT_EQ(session.host.SendFrame(call, PF_Cmd_SMART_RENDER, &damaged), PF_Err_INTERNAL_STRUCT_DAMAGED);
    for (const PF_Cmd cmd : {PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER})
        EXPECT_EQ(session.host.SendFrame(call, cmd, nullptr), PF_Err_INTERNAL_STRUCT_DAMAGED);
    for (const PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_SMART_RENDER})
        EXPECT_EQ(test::Plugin().EffectMain()(cmd, nullptr, nullptr, nullptr, nullptr, nullptr),
                  PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(session.host.Log().Calls().empty());

    session.host.InData().inter.add_param = [](PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) -> PF_Err { throw 42; };
    EXPECT_EQ(session.host.Send(PF_Cmd_PARAMS_SETUP), PF_Err_INTERNAL_STRUCT_DAMAGED);
    test::ExpectEverythingGivenBack(session.host);
}

}  // namespace
}  // namespace maculo
