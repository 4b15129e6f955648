#pragma once

#include <EDirectoryError.h>

#include <cstddef>
#include <cstdint>

// The client-library calls: plain functions that answer with a status code (EDirectoryError.h),
// 0 for success. They act on the directory of TDirectoryClient::Instance().

using NWDSContextHandle = std::uint32_t;

constexpr int DCK_FLAGS = 1;      // context key: flags (32-bit unsigned)
constexpr int DCK_TREE_NAME = 11; // context key: tree name (zero-terminated text)
constexpr std::uint32_t DCV_TYPELESS_NAMES = 4;
constexpr int DSV_MODIFY_ENTRY = 9;    // request code for NWDSInitBuf
constexpr int DS_REMOVE_ATTRIBUTE = 6; // change type: remove every value of an attribute
constexpr int NO_MORE_ITERATIONS = -1;
constexpr int NW_MAX_TREE_NAME_BYTES = 33; // tree name buffer of context key 11, terminator included
constexpr int NW_PATH_PART_BYTES = 256;    // each buffer of NWParsePath, terminator included

struct NWDSBuf; // request buffer

extern "C++" {
// Parses "VOLOBJ:DIR" or "\\SERVER\VOLUME\DIR" into three 256-byte buffers (server, volume or volume
// object name, directory without leading "\") and a connection handle.
NWCCODE NWParsePath(const char* Path, char* ServerName, std::uint32_t* ConnHandle, char* VolumeName,
                    char* DirPath);
NWCCODE NWCallsInit(void* Reserved1, void* Reserved2);
NWCCODE NWDSCreateContextHandle(NWDSContextHandle* Context);
NWCCODE NWDSFreeContext(NWDSContextHandle Context);
NWCCODE NWDSGetContext(NWDSContextHandle Context, int Key, void* Value);
NWCCODE NWDSSetContext(NWDSContextHandle Context, int Key, const void* Value);
NWCCODE NWDSAllocBuf(std::size_t Size, NWDSBuf** Buf);
NWCCODE NWDSInitBuf(NWDSContextHandle Context, int Operation, NWDSBuf* Buf);
NWCCODE NWDSPutChange(NWDSContextHandle Context, NWDSBuf* Buf, int ChangeType, const char* AttrName);
// Object: typeless dotted name with a leading "." relative to the root of the context's tree.
NWCCODE NWDSModifyObject(NWDSContextHandle Context, const char* Object, std::int32_t* IterationHandle,
                         int More, NWDSBuf* Buf);
NWCCODE NWDSFreeBuf(NWDSBuf* Buf);
// Sets an object's password without the old one (stored as a salted hash).
NWCCODE NWDSChangeObjectPassword(NWDSContextHandle Context, std::uint32_t Options, const char* Object,
                                 const char* OldPassword, const char* NewPassword);
}
