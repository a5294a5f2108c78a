// LimitInForce.cpp
// The defaults are those the kernel gives a project's controls at boot (project_init,
// rctlproc_init: rctl_add_legacy_limit takes an obsolete tunable of /etc/system when it
// is larger than the default and caps it at the control's maximum) and the process's
// file-descriptor limits (param_init lowers rlim_fd_cur to rlim_fd_max).
#include <climits>

#include "ControlValue.h"
#include "EtcSystem.h"
#include "KernelValue.h"
#include "KxxComOutTrace.h"
#include "LimitInForce.h"
#include "ResourceControl.h"
#include "SettingNumber.h"

namespace {

const char* const kLimitFunc = "kxl_getLimitInForce";
const char* const kPrivileged = "privileged";
const char* const kBasic = "basic";

// A control whose default limit an obsolete tunable raises (Solaris 10 and 11).
struct LegacyLimit {
    const char* Control;
    const char* Tunable;
    unsigned long long Default;
};
const LegacyLimit kLegacyLimits[] = {
    {"project.max-sem-ids", "semsys:seminfo_semmni", 128},
    {"project.max-msg-ids", "msgsys:msginfo_msgmni", 128},
    {"project.max-shm-ids", "shmsys:shminfo_shmmni", 128},
    {"process.max-sem-nsems", "semsys:seminfo_semmsl", 512},
    {"process.max-sem-ops", "semsys:seminfo_semopm", 512},
    {"process.max-msg-qbytes", "msgsys:msginfo_msgmnb", 65536},
    {"process.max-msg-messages", "msgsys:msginfo_msgtql", 8192},
};
const int kFirstLegacyRelease = 10;

// project.max-shm-memory: shmmax × shmmni, each at its old default when only the other
// is set, when that is more than a quarter of the memory.
const char* const kShmMemory = "project.max-shm-memory";
const char* const kShmmax = "shmsys:shminfo_shmmax";
const char* const kShmmni = "shmsys:shminfo_shmmni";
const char* const kShmTunables = "shmsys:shminfo_shmmax*shmsys:shminfo_shmmni";
const unsigned long long kShmmaxDefault = 8388608;
const unsigned long long kShmmniDefault = 100;

// The file-descriptor limits; rlim_fd_max was 1024 until Solaris 9 raised it.
const char* const kFdControl = "process.max-file-descriptor";
const char* const kFdCur = "rlim_fd_cur";
const char* const kFdMax = "rlim_fd_max";
const unsigned long long kFdCurDefault = 256;
const int kFdMaxRaisedRelease = 9;
const unsigned long long kFdMaxOld = 1024;
const unsigned long long kFdMaxDefault = 65536;

// A limit and where it comes from.
struct Limit {
    unsigned long long Value = 0;
    const char* Tunable = ""; // empty: the default
    std::string File;
};

// What the derivation of the limits works with.
struct LimitScan {
    int Minor;
    SystemStatements Statements; // the tunables that may set a limit
    bool MemoryRead = false;
    unsigned long long Memory = 0; // a quarter of the physical memory, once read
};

// The value of a tunable's statement in force as the kernel takes it. false when none.
bool kxl_getTunable(const LimitScan& iScan, const char* iName, unsigned long long& oValue)
{
    auto aFound = iScan.Statements.find(iName);
    return aFound != iScan.Statements.end() && !aFound->second.Value.empty() &&
           kxl_cnvSettingNumber(aFound->second.Value, NumberBase::Kernel, oValue) == 0;
}

std::string kxl_getTunableFile(const LimitScan& iScan, const char* iName)
{
    auto aFound = iScan.Statements.find(iName);
    return aFound == iScan.Statements.end() ? "" : aFound->second.File;
}

// rlim_fd_cur and rlim_fd_max are 32-bit variables: the kernel keeps the low 32 bits.
unsigned long long kxl_getFdTunable(const LimitScan& iScan, const char* iName,
                                    unsigned long long iDefault, bool& oSet)
{
    unsigned long long aValue = 0;
    oSet = kxl_getTunable(iScan, iName, aValue);
    return oSet ? aValue & UINT_MAX : iDefault;
}

unsigned long long kxl_getFdMax(const LimitScan& iScan, bool& oSet)
{
    return kxl_getFdTunable(iScan, kFdMax, iScan.Minor >= kFdMaxRaisedRelease ? kFdMaxDefault
                                                                               : kFdMaxOld,
                            oSet);
}

// process.max-file-descriptor: basic rlim_fd_cur (lowered to rlim_fd_max), privileged
// rlim_fd_max.
Limit kxl_getFdLimit(const LimitScan& iScan, bool iBasic)
{
    bool aMaxSet = false, aCurSet = false;
    Limit aLimit;
    aLimit.Value = kxl_getFdMax(iScan, aMaxSet);
    aLimit.Tunable = aMaxSet ? kFdMax : "";
    unsigned long long aCur = kxl_getFdTunable(iScan, kFdCur, kFdCurDefault, aCurSet);
    if (iBasic && aCur < aLimit.Value) {
        aLimit.Value = aCur;
        aLimit.Tunable = aCurSet ? kFdCur : "";
    }
    aLimit.File = kxl_getTunableFile(iScan, aLimit.Tunable);
    return aLimit;
}

Limit kxl_getLegacyLimit(const LimitScan& iScan, const LegacyLimit& iLegacy)
{
    Limit aLimit;
    aLimit.Value = iLegacy.Default;
    unsigned long long aTunable = 0;
    if (kxl_getTunable(iScan, iLegacy.Tunable, aTunable) && aTunable > iLegacy.Default) {
        const ResourceControl* aControl = kxl_findControl(iLegacy.Control, iScan.Minor);
        unsigned long long aMax = aControl != nullptr ? aControl->Max : ULLONG_MAX;
        aLimit.Value = aTunable < aMax ? aTunable : aMax;
        aLimit.Tunable = iLegacy.Tunable;
        aLimit.File = kxl_getTunableFile(iScan, iLegacy.Tunable);
    }
    return aLimit;
}

int kxl_getShmLimit(LimitScan& ioScan, Limit& oLimit)
{
    if (!ioScan.MemoryRead) {
        if (kxl_getShmMemoryDefault(ioScan.Memory) != 0) {
            kxg_outWriteTracelog(kLimitFunc, "既定値の計算失敗(物理メモリ取得失敗)");
            return -1;
        }
        ioScan.MemoryRead = true;
    }
    oLimit.Value = ioScan.Memory;
    unsigned long long aShmmax = kShmmaxDefault, aShmmni = kShmmniDefault;
    bool aMaxSet = kxl_getTunable(ioScan, kShmmax, aShmmax);
    bool aMniSet = kxl_getTunable(ioScan, kShmmni, aShmmni);
    if (!aMaxSet && !aMniSet) {
        return 0;
    }
    bool aOverflow = aShmmax > 0 && ULLONG_MAX / aShmmax <= aShmmni;
    unsigned long long aProduct = aOverflow ? ULLONG_MAX : aShmmax * aShmmni;
    if (aProduct > oLimit.Value) {
        oLimit.Value = aProduct;
        oLimit.Tunable = kShmTunables;
        oLimit.File = kxl_getTunableFile(ioScan, aMaxSet ? kShmmax : kShmmni);
    }
    return 0;
}

// The default limit of the record's control on this release. 0 found; 14 it has none the
// check knows; -1 the memory not had.
int kxl_getDefaultLimit(LimitScan& ioScan, const SysPrmRecord& iRecord, Limit& oLimit)
{
    if (iRecord.ParamName == kFdControl) {
        oLimit = kxl_getFdLimit(ioScan, kxl_cnvPrivilege(iRecord.Privilege) == kBasic);
        return 0;
    }
    if (ioScan.Minor < kFirstLegacyRelease) {
        return 14;
    }
    if (iRecord.ParamName == kShmMemory) {
        return kxl_getShmLimit(ioScan, oLimit);
    }
    for (const LegacyLimit& aLegacy : kLegacyLimits) {
        if (iRecord.ParamName == aLegacy.Control) {
            oLimit = kxl_getLegacyLimit(ioScan, aLegacy);
            return 0;
        }
    }
    return 14;
}

// Judges the record by the default limit of its control: a default only as a limit to
// compare (the control stays not set), a tunable's value as the control's value.
void kxl_setDefaultLimit(const Limit& iLimit, bool iBasic, SysPrmRecord& ioRecord)
{
    const char* aPrivilege = iBasic ? kBasic : kPrivileged;
    if (*iLimit.Tunable == '\0') {
        kxg_outDetailTracelogEx(kLimitFunc, "設定がないため既定値で判定 %s[%llu]",
                               ioRecord.ParamName.c_str(), iLimit.Value);
        ioRecord.Origin = LimitOrigin::Default;
        ioRecord.DefaultLimit = iLimit.Value;
        ioRecord.DefaultPrivilege = aPrivilege;
        return;
    }
    kxg_outDetailTracelogEx(kLimitFunc, "設定がないため/etc/systemの%sの値で判定 %s[%llu](%s)",
                           iLimit.Tunable, ioRecord.ParamName.c_str(), iLimit.Value,
                           iLimit.File.c_str());
    ioRecord.Origin = LimitOrigin::Tunable;
    ioRecord.Tunable = iLimit.Tunable;
    ioRecord.CurrentValue = std::to_string(iLimit.Value);
    ioRecord.CurrentPrivilege = aPrivilege;
    ioRecord.CurrentFile = iLimit.File;
}

// rlim_fd_cur and rlim_fd_max as the kernel keeps them: 32 bits, rlim_fd_cur no higher
// than rlim_fd_max.
void kxl_setFdSetting(const LimitScan& iScan, SysPrmRecord& ioRecord)
{
    unsigned long long aValue = 0;
    if (kxl_cnvSettingNumber(ioRecord.CurrentValue, NumberBase::Kernel, aValue) != 0) {
        return;
    }
    unsigned long long aInForce = aValue & UINT_MAX;
    bool aMaxSet = false;
    unsigned long long aMax = kxl_getFdMax(iScan, aMaxSet);
    if (ioRecord.ParamName == kFdCur && aInForce > aMax) {
        kxg_outDetailTracelogEx(kLimitFunc, "rlim_fd_curはrlim_fd_maxまで下げられる[%llu]->[%llu]",
                               aInForce, aMax);
        aInForce = aMax;
    } else if (aInForce != aValue) {
        kxg_outDetailTracelogEx(kLimitFunc, "32ビットの変数のため下位32ビットが有効 %s[%llu]",
                               ioRecord.ParamName.c_str(), aInForce);
    }
    if (aInForce != aValue) {
        ioRecord.Origin = LimitOrigin::Lowered;
        ioRecord.CurrentValue = std::to_string(aInForce);
    }
}

bool kxl_isFdSetting(const SysPrmRecord& iRecord)
{
    return iRecord.Source == SettingSource::System && !iRecord.CurrentValue.empty() &&
           (iRecord.ParamName == kFdCur || iRecord.ParamName == kFdMax);
}

bool kxl_needsDefault(const SysPrmRecord& iRecord)
{
    return iRecord.Source == SettingSource::Project && iRecord.CurrentValue.empty() &&
           iRecord.Criterion != "optcri";
}

// The tunables the records may need; none when no record needs one.
SystemStatements kxl_getWantedTunables(const SysPrmList& iList)
{
    SystemStatements aWanted;
    size_t aCount = kxl_cntRecords(iList);
    for (size_t i = 0; i < aCount; i++) {
        const SysPrmRecord& aRecord = iList.Records[i];
        if (kxl_needsDefault(aRecord) || kxl_isFdSetting(aRecord)) {
            for (const char* aName : {kFdCur, kFdMax, kShmmax, kShmmni}) {
                aWanted[aName];
            }
            for (const LegacyLimit& aLegacy : kLegacyLimits) {
                aWanted[aLegacy.Tunable];
            }
            break;
        }
    }
    return aWanted;
}

} // namespace

int kxl_getShmMemoryDefault(unsigned long long& oBytes)
{
    unsigned long long aBytes = 0;
    if (kxl_GetSysMemory(aBytes) != 0) {
        return -1;
    }
    oBytes = aBytes / 4;
    return 0;
}

int kxl_getLimitInForce(const std::string& iOSName, SysPrmList& ioList)
{
    LimitScan aScan{kxl_getOSMinor(iOSName), kxl_getWantedTunables(ioList)};
    if (aScan.Statements.empty()) {
        return 0;
    }
    if (kxl_getSystemStatements(iOSName, aScan.Statements) != 0) {
        return -9998;
    }
    size_t aCount = kxl_cntRecords(ioList);
    for (size_t i = 0; i < aCount; i++) {
        SysPrmRecord& aRecord = ioList.Records[i];
        if (kxl_isFdSetting(aRecord)) {
            kxl_setFdSetting(aScan, aRecord);
            continue;
        }
        Limit aLimit;
        int aResult = kxl_needsDefault(aRecord) ? kxl_getDefaultLimit(aScan, aRecord, aLimit) : 14;
        if (aResult == -1) {
            return -1;
        }
        if (aResult == 0) {
            kxl_setDefaultLimit(aLimit, kxl_cnvPrivilege(aRecord.Privilege) == kBasic, aRecord);
        }
    }
    return 0;
}
