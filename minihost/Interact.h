// The interact callbacks of PF_InData: the effect's parameters as the host
// keeps them. add_param builds the list (index 0, the input layer, is the
// host's own); checkout_param serves each parameter's current value;
// progress goes to a function the host's user sets.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hostapi/HostApi.h"
#include "minihost/ActiveSlot.h"
#include "minihost/FailurePlan.h"
#include "minihost/Journal.h"

namespace maculo::minihost {

// One add_param call as the effect made it; `choices` keeps a popup's text.
struct AddedParam {
    PF_ParamIndex index;
    PF_ParamDef def;
    std::string choices;
};

struct ParamCheckout {
    PF_ParamIndex index;
    A_long what_time;
    A_long time_step;
    A_u_long time_scale;
};

using ProgressFunction = std::function<PF_Err(A_long current, A_long total)>;

class Interact {
public:
    explicit Interact(Journal& journal);

    const PF_InteractCallbacks& Callbacks() const { return callbacks_; }

    std::vector<AddedParam> Added() const;
    void FailAddParam(int nthCallFromNow, PF_Err code);

    // Current values, by the parameter's own type (a popup's choice, a float
    // slider's value, an integer slider's value). The parameter must exist.
    void SetValue(PF_ParamIndex index, double value);
    // A keyframe: checkouts at exactly `time` get this value instead.
    void SetValueAt(PF_ParamIndex index, A_long time, double value);
    // Defines or replaces a parameter directly, without add_param.
    void SetParam(PF_ParamIndex index, const PF_ParamDef& def);
    A_long ParamCount() const;  // the input layer included
    // The `params` argument of a command: one pointer per parameter, [0] the
    // layer. Valid until the parameters change.
    PF_ParamList ParamList();

    std::vector<ParamCheckout> Checkouts() const;
    std::vector<PF_ParamIndex> Checkins() const;
    size_t OutstandingCheckouts() const;
    void FailCheckout(int nthCallFromNow, PF_Err code);
    void FailCheckin(int nthCallFromNow, PF_Err code);

    void SetProgress(ProgressFunction progress);
    int ProgressCalls() const;

private:
    struct Param {
        PF_ParamDef def{};
        std::string choices;  // the popup's namesptr points here
    };

    static PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                                A_u_long time_scale, PF_ParamDef* param);
    static PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param);
    static PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    static PF_Err Abort(PF_ProgPtr effect_ref);
    static PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long total);

    void StoreLocked(PF_ParamIndex index, const PF_ParamDef& def);
    // The parameter, which must exist and carry a value; mutex_ held.
    PF_ParamDef& ValuedParamLocked(PF_ParamIndex index);

    Journal& journal_;
    PF_InteractCallbacks callbacks_{};
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Param>> params_;
    std::vector<PF_ParamDef*> paramList_;
    std::map<std::pair<PF_ParamIndex, A_long>, double> keyed_;  // (parameter, time) -> value
    std::vector<AddedParam> added_;
    std::vector<ParamCheckout> checkouts_;
    std::vector<PF_ParamIndex> checkins_;
    std::vector<std::pair<const PF_ParamDef*, PF_ParamIndex>> outstanding_;
    FailurePlan addFailures_;
    FailurePlan checkoutFailures_;
    FailurePlan checkinFailures_;
    ProgressFunction progress_;
    int progressCalls_ = 0;
    ActiveSlot<Interact> active_{this};
};

}  // namespace maculo::minihost
