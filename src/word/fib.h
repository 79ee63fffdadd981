#pragma once
// Positions inside the file information block (FIB) of Word 97–2003 files.

namespace talvora::word::fib {

inline constexpr int kBaseSize = 32;
inline constexpr unsigned short kIdent = 0xA5EC;
inline constexpr unsigned short kWord97 = 0x00C1;
inline constexpr int kRgFcLcb97Count = 93;

// FibBase flag bits.
inline constexpr unsigned short kFlagDot = 0x0001;
inline constexpr unsigned short kFlagComplex = 0x0004;
inline constexpr unsigned short kFlagEncrypted = 0x0100;
inline constexpr unsigned short kFlagWhichTable = 0x0200;
inline constexpr unsigned short kFlagExtChar = 0x1000;
inline constexpr unsigned short kFlagObfuscated = 0x8000;

// Indices into FibRgLw97.
enum LwIndex { CbMac = 0, CcpText = 3, CcpFtn = 4, CcpHdd = 5, CcpMcr = 6, CcpAtn = 7, CcpEdn = 8, CcpTxbx = 9, CcpHdrTxbx = 10 };

// Indices of (fc, lcb) pairs in FibRgFcLcb97.
enum FcLcbIndex {
    StshfOrig = 0,
    Stshf = 1,
    PlcffndRef = 2,
    PlcffndTxt = 3,
    PlcfSed = 6,
    PlcfHdd = 11,
    PlcfBteChpx = 12,
    PlcfBtePapx = 13,
    SttbfFfn = 15,
    PlcfFldMom = 16,
    PlcfFldHdr = 17,
    PlcfFldFtn = 18,
    Dop = 31,
    Clx = 33,
    PlcfendRef = 46,
    PlcfendTxt = 47,
    PlcfFldEdn = 48,
    PlfLst = 73,
    PlfLfo = 74,
    // Drawing objects and text boxes (drawings.h).
    PlcSpaMom = 40,
    PlcSpaHdr = 41,
    DggInfo = 50,
    PlcftxbxTxt = 56,
    PlcfFldTxbx = 57,
    PlcfHdrtxbxTxt = 58,
    PlcffldHdrTxbx = 59,
    PlcfTxbxBkd = 75,
    PlcfTxbxHdrBkd = 76,
};

} // namespace talvora::word::fib
