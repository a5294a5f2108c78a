// KxxComInstallInfo.cpp
#include "KxxComInstallInfo.h"

#include <cstdio>

#include "KxxComIniRead.h"
#include "KxxComMngDEFCHKINI.h"
#include "KxxComOutTrace.h"
#include "KxxComString.h"
#include "KxxComSysBase.h"

namespace {

const char* const kInstallFile = "/opt/vestrel/etc/vestrel.reg";
const char* const kVersionSection = "Orbane_CurrentVersion";
// Sizes of the text fields, terminator excluded.
const size_t kVlSuffixMax = 31;
const size_t kInstallTypeMax = 7;
const size_t kPathMax = 4095;
const size_t kCodeMax = 31;
const size_t kLanguageMax = 15;
// The oldest major version the tools serve is 11 (0xB).
const uint32_t kLastUnsupportedMajor = 10;

std::string kxl_installFilePath()
{
    return kxg_getHostPath(kInstallFile);
}

int kxl_readVersionKey(const char* iKey, std::string& oValue)
{
    return kxg_readIniString(kVersionSection, iKey, oValue, kxl_installFilePath());
}

// A hexadecimal field as scanf's "%lx" reads it on the product's 32-bit platform:
// 0 when the text does not start with a hexadecimal number, held at 0xFFFFFFFF above it.
uint32_t kxl_toHex32(const std::string& iText)
{
    unsigned long aValue = 0;
    if (sscanf(iText.c_str(), "%lx", &aValue) != 1) {
        return 0;
    }
    return aValue > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(aValue);
}

bool kxl_readHexKey(const char* iKey, uint32_t& oField)
{
    std::string aValue;
    if (kxl_readVersionKey(iKey, aValue) != 0) {
        return false;
    }
    oField = kxl_toHex32(aValue);
    return true;
}

bool kxl_readTextKey(const char* iKey, std::string& oField, size_t iMax)
{
    std::string aValue;
    if (kxl_readVersionKey(iKey, aValue) != 0) {
        return false;
    }
    oField = aValue;
    kxg_cutEucText(oField, iMax);
    return true;
}

void kxl_setVersions(InstallInfo& ioInfo)
{
    ioInfo.VersionMJ = ioInfo.MajorVersion;
    if (ioInfo.MajorLevel != 0) {
        ioInfo.VersionMI = ioInfo.MajorLevel / 10 - 1;
    }
    ioInfo.VersionML = ioInfo.MajorLevel % 10;
}

// Reads the version section key by key, stopping at the first that cannot be read.
int kxl_getInstallInfo_Sub(InstallInfo& ioInfo)
{
    bool aRead = kxl_readHexKey("DM_MajorVersion", ioInfo.MajorVersion) &&
                 kxl_readHexKey("DM_MinorVersion", ioInfo.MinorVersion) &&
                 kxl_readHexKey("DM_MajorLevel", ioInfo.MajorLevel);
    if (aRead) {
        kxl_setVersions(ioInfo);
        aRead = kxl_readTextKey("DM_VLSuffix", ioInfo.VlSuffix, kVlSuffixMax) &&
                kxl_readTextKey("DM_InstallType2", ioInfo.InstallType, kInstallTypeMax) &&
                kxl_readHexKey("DM_Type", ioInfo.Type) &&
                kxl_readTextKey("DM_PathName", ioInfo.Path, kPathMax) &&
                kxl_readTextKey("Code", ioInfo.Code, kCodeMax);
    }
    if (!aRead) {
        kxg_outWriteTracelog("kxl_getInstallInfo_Sub",
                             "キーの取得失敗（VOXLがインストールされていないとする）");
        return 15;
    }
    return 0;
}

void kxl_traceInstallInfo(const InstallInfo& iInfo)
{
    const char* aFunc = "kxg_getInstallInfo";
    kxg_outWriteTracelogEx(aFunc, "MajorVersion[%ld]", kxg_cnvSigned32(iInfo.MajorVersion));
    kxg_outWriteTracelogEx(aFunc, "MinorVersion[%ld]", kxg_cnvSigned32(iInfo.MinorVersion));
    kxg_outWriteTracelogEx(aFunc, "MajorLevel  [%ld]", kxg_cnvSigned32(iInfo.MajorLevel));
    kxg_outWriteTracelogEx(aFunc, "VersionMJ   [%ld]", kxg_cnvSigned32(iInfo.VersionMJ));
    kxg_outWriteTracelogEx(aFunc, "VersionMI   [%ld]", kxg_cnvSigned32(iInfo.VersionMI));
    kxg_outWriteTracelogEx(aFunc, "VersionML   [%ld]", kxg_cnvSigned32(iInfo.VersionML));
    kxg_outWriteTracelogEx(aFunc, "VlSuffix    [%s]", iInfo.VlSuffix.c_str());
    kxg_outWriteTracelogEx(aFunc, "InstallType [%s]", iInfo.InstallType.c_str());
    kxg_outWriteTracelogEx(aFunc, "Type        [%ld]", kxg_cnvSigned32(iInfo.Type));
    kxg_outWriteTracelogEx(aFunc, "Path        [%s]", iInfo.Path.c_str());
    kxg_outWriteTracelogEx(aFunc, "Code        [%s]", iInfo.Code.c_str());
}

int kxl_chkInstallCmp_Sub(const char* iPackage)
{
    const char* aFunc = "kxl_chkInstallCmp_Sub";
    std::string aScratch;
    int aResult = kxg_readIniString("DM", iPackage, aScratch, kxl_installFilePath());
    if (aResult == -9996) {
        kxg_outWriteTracelog(aFunc, "キーのみ無し");
        return 12;
    }
    if (aResult != 0) {
        kxg_outWriteTracelog(aFunc, "INIファイルより取得エラー");
        return -1;
    }
    return 0;
}

} // namespace

long kxg_cnvSigned32(uint32_t iField)
{
    return static_cast<long>(static_cast<int32_t>(iField));
}

int kxg_getInstallInfo(InstallInfo& oInfo)
{
    const char* aFunc = "kxg_getInstallInfo";
    oInfo = InstallInfo{};
    if (kxg_getVOXLFlg(oInfo.VOXLFlg) != 0) {
        kxg_outWriteTracelog(aFunc, "実行形式（VOXLフラグ）設定エラー");
        return -1;
    }
    if (oInfo.VOXLFlg != 1) {
        return 0;
    }
    // An absent file means the product is not installed; a directory or a FIFO at its
    // path is something else, which the administrator must hear about as such.
    int aKind = kxg_chkFileExist(kxl_installFilePath());
    if (aKind != 3 && aKind != -9989) {
        kxg_outWriteTracelogEx(aFunc, "インストール情報ファイルが通常ファイルではない[%s]",
                               kxl_installFilePath().c_str());
        return -1;
    }
    int aResult = kxl_getInstallInfo_Sub(oInfo);
    if (aResult != 0) {
        kxg_outWriteTracelog(aFunc, "VOXL情報取得エラー");
        return aResult;
    }
    kxl_traceInstallInfo(oInfo);
    if (oInfo.VersionMJ <= kLastUnsupportedMajor) {
        kxg_outWriteTracelog(aFunc, "VOXLのバージョンが対象外");
        return -9978;
    }
    return 0;
}

int kxg_chkInstallCmp(const char* iPackage)
{
    return kxl_chkInstallCmp_Sub(iPackage);
}

int kxg_getVOXLCode(std::string& oCode)
{
    return kxl_readVersionKey("Code", oCode);
}

int kxg_chkVOXLLanguage()
{
    std::string aLanguage;
    if (!kxl_readTextKey("DM_Language", aLanguage, kLanguageMax)) {
        kxg_outWriteTracelog("kxg_chkVOXLLanguage", "値取得失敗");
        return -1;
    }
    return aLanguage == "ENGLISH" ? 0 : -1;
}
