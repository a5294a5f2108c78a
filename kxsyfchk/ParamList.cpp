// ParamList.cpp
// Loading the parameter list files into requirement records: the rows that apply to this
// host, each checked for its form, duplicates dropped.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "KxxComFile.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "ParamList.h"

namespace {

const int kRowFields = 11;
// Longest raw text of each row field, blanks included.
const size_t sSysLstMaxlen[kRowFields] = {32, 8, 5, 10, 10, 256, 256, 11, 11, 256, 256};
const int kListGrowth = 25;
const int kRowNotApplicable = 14;

// Field positions of a row.
enum RowField {
    kTargetOS, kRole, kEdition, kMajorVersion, kMinorVersion,
    kParamName, kProject, kPrivilege, kCriterion, kOSInit, kNeed
};

// Every one of the 11 fields within its length; rows for other hosts are checked too.
int kxl_chkSysPrmFrm(const std::string& iRow)
{
    uint32_t aPos = 0;
    std::string aField;
    for (int aIndex = 0; aIndex < kRowFields; aIndex++) {
        kxg_cutWord(iRow, ',', aPos, aField);
        if (aField.size() > sSysLstMaxlen[aIndex]) {
            kxg_outWriteTracelog("kxl_chkSysPrmFrm", "ワードが指定バイトを超えているエラー");
            return -9995;
        }
    }
    return 0;
}

void kxl_cutRowFields(const std::string& iRow, std::string (&oFields)[kRowFields])
{
    uint32_t aPos = 0;
    for (std::string& aField : oFields) {
        kxg_cutWord(iRow, ',', aPos, aField);
        kxg_trimLeft(aField);
        kxg_trimRight(aField);
    }
}

} // namespace

std::string kxl_editionCode(uint32_t iType)
{
    switch (iType) {
    case 2:
        return "QA";
    case 4:
        return "QB";
    case 8:
        return "QBX";
    default:
        return "";
    }
}

namespace {

std::string kxl_versionText(uint32_t iVersion)
{
    char aText[32];
    snprintf(aText, sizeof aText, "%ld", kxg_cnvSigned32(iVersion));
    return aText;
}

// Whether a filter field lets the row through: empty, or equal to the host's value.
bool kxl_passFilter(const std::string& iField, const std::string& iHostValue,
                    const char* iTraceFormat)
{
    if (iField.empty() || iField == iHostValue) {
        return true;
    }
    kxg_outDetailTracelogEx("kxl_setSysPrmFrm", iTraceFormat, iField.c_str());
    return false;
}

// Whether the row is meant for this host. Role, edition and versions count only in
// managing-product mode.
bool kxl_chkRowTarget(const std::string (&iFields)[kRowFields], const std::string& iOSName,
                      const InstallInfo& iInfo)
{
    if (!kxl_passFilter(iFields[kTargetOS], iOSName, "対象OS 対象外[%s]")) {
        return false;
    }
    if (iInfo.VOXLFlg != 1) {
        return true;
    }
    return kxl_passFilter(iFields[kRole], iInfo.InstallType, "運用種別 対象外[%s]") &&
           kxl_passFilter(iFields[kEdition], kxl_editionCode(iInfo.Type),
                          "対象エディション 対象外[%s]") &&
           kxl_passFilter(iFields[kMajorVersion], kxl_versionText(iInfo.VersionMJ),
                          "メジャーバージョン 対象外[%s]") &&
           kxl_passFilter(iFields[kMinorVersion], kxl_versionText(iInfo.VersionMI),
                          "マイナーバージョン 対象外[%s]");
}

// Numbers of OS initial values and needed values a criterion takes; -1 for any number.
void kxl_valueCounts(const std::string& iCriterion, int& oOSInit, int& oNeed)
{
    oNeed = iCriterion == "optcri" ? 4 : 1;
    oOSInit = iCriterion == "optcri" ? 2 : (iCriterion == "additional" ? 1 : -1);
}

// The words of a value field: each all digits or "calc", as many as the criterion takes.
int kxl_chkValueWords(const std::string& iValue, int iWanted, const char* iWordError,
                      const char* iCountError)
{
    uint32_t aPos = 0;
    std::string aWord;
    int aCount = 0;
    while (aPos < iValue.size()) {
        kxg_cutBlTbWord(iValue, aPos, aWord);
        if (aWord.empty()) {
            continue;
        }
        if (!kxg_chkStrisDigit(aWord) && aWord != "calc") {
            kxg_outWriteTracelog("kxl_setSysPrmFrm", iWordError);
            return -9995;
        }
        aCount++;
    }
    if (iWanted >= 0 && aCount != iWanted) {
        kxg_outWriteTracelog("kxl_setSysPrmFrm", iCountError);
        return -9995;
    }
    return 0;
}

int kxl_setRecordValues(const std::string (&iFields)[kRowFields], SysPrmRecord& oRecord)
{
    const char* aFunc = "kxl_setSysPrmFrm";
    if (iFields[kParamName].empty()) {
        kxg_outWriteTracelog(aFunc, "パラメタ名無しエラー");
        return -9995;
    }
    oRecord.ParamName = iFields[kParamName];
    oRecord.ProjectName = iFields[kProject];
    oRecord.Privilege = iFields[kPrivilege];
    const std::string& aCriterion = iFields[kCriterion];
    if (aCriterion.empty()) {
        kxg_outWriteTracelog(aFunc, "基準なしエラー");
        return -9995;
    }
    if (aCriterion != "fixed" && aCriterion != "additional" && aCriterion != "optcri") {
        kxg_outWriteTracelogEx(aFunc, "未知の基準エラー[%s]", aCriterion.c_str());
        return -9995;
    }
    oRecord.Criterion = aCriterion;
    int aOSInitCount, aNeedCount;
    kxl_valueCounts(aCriterion, aOSInitCount, aNeedCount);
    if (kxl_chkValueWords(iFields[kOSInit], aOSInitCount, "OS初期値フォーマットエラー",
                          "OS初期値、基準と個数フォーマットエラー") != 0) {
        return -9995;
    }
    oRecord.OSInitValue = iFields[kOSInit];
    if (kxl_chkValueWords(iFields[kNeed], aNeedCount, "必要値フォーマットエラー",
                          "必要値、基準と個数フォーマットエラー") != 0) {
        return -9995;
    }
    oRecord.NeedValue = iFields[kNeed];
    return 0;
}

// Parses one row into oRecord. 0 accepted; 14 not for this host; -9995 malformed.
int kxl_setSysPrmFrm(const std::string& iRow, const std::string& iOSName,
                     const InstallInfo& iInfo, SysPrmRecord& oRecord)
{
    oRecord = SysPrmRecord{};
    std::string aFields[kRowFields];
    kxl_cutRowFields(iRow, aFields);
    if (!kxl_chkRowTarget(aFields, iOSName, iInfo)) {
        return kRowNotApplicable;
    }
    kxg_outDetailTracelogEx("kxl_setSysPrmFrm", "取得行[%s]", iRow.c_str());
    return kxl_setRecordValues(aFields, oRecord);
}

// The listed records by the six fields of their row, to find an equal row at once: a table
// of open addressing of their positions + 1, never more than half full; hashing and
// comparing read the records themselves.
class RowSet {
public:
    explicit RowSet(const SysPrmList& iList) : mList(iList) {}

    // Adds the record at iPos. false when an equal row is listed already.
    bool add(uint32_t iPos)
    {
        if ((mCount + 1) * 2 > mSlots.size()) {
            grow();
        }
        uint32_t& aSlot = mSlots[find(iPos)];
        if (aSlot != 0) {
            return false;
        }
        aSlot = iPos + 1;
        mCount++;
        return true;
    }

private:
    static std::array<const std::string*, 6> kxl_getRowFields(const SysPrmRecord& iRec)
    {
        return {&iRec.ParamName, &iRec.ProjectName.str(), &iRec.Privilege.str(),
                &iRec.Criterion.str(), &iRec.OSInitValue.str(), &iRec.NeedValue};
    }

    size_t hash(uint32_t iPos) const
    {
        size_t aHash = 0;
        for (const std::string* aField : kxl_getRowFields(mList.Records[iPos])) {
            aHash = aHash * 1000003 ^ std::hash<std::string>()(*aField);
        }
        return aHash;
    }

    bool equal(uint32_t iLeft, uint32_t iRight) const
    {
        auto aLeft = kxl_getRowFields(mList.Records[iLeft]);
        auto aRight = kxl_getRowFields(mList.Records[iRight]);
        for (size_t i = 0; i < aLeft.size(); i++) {
            if (*aLeft[i] != *aRight[i]) {
                return false;
            }
        }
        return true;
    }

    // The slot of the row equal to the record at iPos, or the free one it would take.
    size_t find(uint32_t iPos) const
    {
        return kxl_probeSlots(mSlots, hash(iPos), [&](uint32_t iSlot) {
            return iSlot == 0 || equal(iSlot - 1, iPos);
        });
    }

    void grow()
    {
        std::vector<uint32_t> aOld(std::max<size_t>(64, mSlots.size() * 2), 0);
        aOld.swap(mSlots);
        for (uint32_t aSlot : aOld) {
            if (aSlot != 0) {
                mSlots[find(aSlot - 1)] = aSlot;
            }
        }
    }

    const SysPrmList& mList;
    std::vector<uint32_t> mSlots;
    size_t mCount = 0;
};

// Moves the record into the list unless an equal one is listed already; the check costs
// the same for the first row and the 30,000th. 0; -9995 no memory.
int kxl_setSysLstFrm(SysPrmRecord&& ioRecord, SysPrmList& ioList, RowSet& ioRows)
{
    const char* aFunc = "kxl_setSysLstFrm";
    if (ioList.Count == ioList.Capacity) {
        try {
            ioList.Records.resize(ioList.Capacity + kListGrowth);
        } catch (const std::bad_alloc&) {
            kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
            return -9995;
        }
        ioList.Capacity += kListGrowth;
    }
    uint32_t aPos = static_cast<uint32_t>(ioList.Count);
    ioList.Records[aPos] = std::move(ioRecord);
    if (!ioRows.add(aPos)) {
        ioList.Records[aPos] = SysPrmRecord{};
        kxg_outDetailTracelog(aFunc, "重複レコードあり");
        return 0;
    }
    ioList.Count++;
    return 0;
}

// Takes the applicable rows of one open parameter list file into the list.
int kxl_loadSysPrmFile(FILE* iFile, const std::string& iOSName, const InstallInfo& iInfo,
                       SysPrmList& ioList, RowSet& ioRows)
{
    const char* aFunc = "kxl_getSysPrmList";
    std::string aRow;
    int aRead;
    while ((aRead = kxg_readFileRow(iFile, aRow)) == 0) {
        kxg_trimLeft(aRow);
        kxg_trimRight(aRow);
        if (aRow.empty() || aRow[0] == '#') {
            continue;
        }
        if (kxl_chkSysPrmFrm(aRow) != 0) {
            kxg_outWriteTracelog(aFunc, "フォーマットエラー");
            return -9995;
        }
        SysPrmRecord aRecord;
        int aResult = kxl_setSysPrmFrm(aRow, iOSName, iInfo, aRecord);
        if (aResult == kRowNotApplicable) {
            continue;
        }
        if (aResult != 0) {
            kxg_outWriteTracelog(aFunc, "内容取得エラー");
            return -9995;
        }
        if (kxl_setSysLstFrm(std::move(aRecord), ioList, ioRows) != 0) {
            kxg_outWriteTracelog(aFunc, "リスト追加エラー");
            return -9995;
        }
    }
    if (aRead == -9993) {
        kxg_outWriteTracelog(aFunc, "メモリーの確保エラー");
        return -9993;
    }
    if (aRead == -9998) {
        kxg_outWriteTracelog(aFunc, "ファイル読み込みエラー");
        return -1;
    }
    return 0;
}

// Room for every row the files can hold, taken at once so that the records are never
// moved; memory the records do not fill is never touched. Without that much memory the
// list grows as it goes.
void kxl_reserveRecords(int iFileCount, SysPrmList& ioList)
{
    try {
        ioList.Records.reserve(ioList.Records.size() + kxg_cntUseFileLines(iFileCount));
    } catch (const std::exception&) {
    }
}

} // namespace

int kxl_getSysPrmList(const std::string& iOSName, const InstallInfo& iInfo, SysPrmList& ioList)
{
    const char* aFunc = "kxl_getSysPrmList";
    int aFileCount = 0;
    if (kxg_getFileNum(aFileCount) != 0) {
        kxg_outWriteTracelog(aFunc, "外部ファイル数取得エラー");
        return -1;
    }
    kxl_reserveRecords(aFileCount, ioList);
    RowSet aRows(ioList);
    for (int aNum = 1; aNum <= aFileCount; aNum++) {
        FilePtr aFile;
        if (kxg_opnUseFile(aFile, aNum) != 0) {
            kxg_outWriteTracelog(aFunc, "外部ファイルオープンエラー");
            return -1;
        }
        int aResult = kxl_loadSysPrmFile(aFile.get(), iOSName, iInfo, ioList, aRows);
        if (aResult != 0) {
            return aResult;
        }
    }
    return 0;
}
