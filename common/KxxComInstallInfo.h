// KxxComInstallInfo.h
// Layer 3 (services that trace).
// The managing product's installation data, read from its installation file
// /opt/vestrel/etc/vestrel.reg (INI syntax): mode, versions, role, edition, path, code set,
// installed packages and language.
#ifndef KXXCOMINSTALLINFO_H
#define KXXCOMINSTALLINFO_H

#include <cstdint>
#include <string>

struct InstallInfo {
    uint32_t VOXLFlg = 0;      // 1 in managing-product mode
    uint32_t MajorVersion = 0; // DM_MajorVersion
    uint32_t MinorVersion = 0; // DM_MinorVersion
    uint32_t MajorLevel = 0;   // DM_MajorLevel
    uint32_t VersionMJ = 0;    // major version: MajorVersion
    uint32_t VersionMI = 0;    // minor version: MajorLevel / 10 - 1
    uint32_t VersionML = 0;    // level within the minor version: MajorLevel % 10
    std::string VlSuffix;      // DM_VLSuffix, at most 31 bytes
    std::string InstallType;   // DM_InstallType2: role of this host, at most 7 bytes
    uint32_t Type = 0;         // DM_Type: edition 2, 4 or 8
    std::string Path;          // DM_PathName, at most 4095 bytes
    std::string Code;          // Code: the product's code set name, at most 31 bytes
};

// Fills oInfo (zeroed first); only VOXLFlg unless managing-product mode is on.
// 0 filled; -1 mode not readable; 15 a key not readable (product not installed);
// -9978 major version 10 or lower.
int kxg_getInstallInfo(InstallInfo& oInfo);

// 0 the package iPackage is installed (key of section DM); 12 absent; -1 file or section
// not readable.
int kxg_chkInstallCmp(const char* iPackage);

// The product's code set name (Code); the INI reader's result (0 read).
int kxg_getVOXLCode(std::string& oCode);

// 0 when the product's language is exactly "ENGLISH"; -1 otherwise or not readable.
int kxg_chkVOXLLanguage();

// A 32-bit field as the product's own 32-bit tools print it with "%ld": values above
// 2147483647 come out negative (a stored level of 1 to 9 gives a minor version of -1).
long kxg_cnvSigned32(uint32_t iField);

#endif
