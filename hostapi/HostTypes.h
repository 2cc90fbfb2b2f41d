// Scalar types, opaque references and small records of the host's effect
// interface, in the host's own spelling. The layout is the host's on Windows
// x64; fixed-width types keep it identical on 64-bit Linux, where `long` is
// wider. Field types are the host's typedefs, never C++ enums, so every record
// keeps its exact size.
#pragma once

#include <cstddef>
#include <cstdint>

// --- scalars ---------------------------------------------------------------
using A_long = int32_t;
using A_u_long = uint32_t;
using A_short = int16_t;
using A_u_short = uint16_t;
using A_char = char;
using A_u_char = uint8_t;
using A_Boolean = uint8_t;
using PF_Boolean = signed char;  // signed on Windows, unlike A_Boolean
using A_FpLong = double;
using A_FpShort = float;
using PF_FpLong = double;
using PF_FpShort = float;
using PF_Fixed = int32_t;  // 16.16
using PF_UFixed = uint32_t;
using A_Err = int32_t;
using PF_Err = int32_t;
using SPErr = int32_t;
using SPBoolean = int32_t;
using A_HandleSize = uint64_t;
using A_intptr_t = int64_t;

using PF_ParamIndex = A_long;
using PF_ParamType = A_long;
using PF_ParamFlags = A_long;
using PF_ParamUIFlags = A_long;
using PF_ParamValue = A_long;
using PF_PixelFormat = A_long;
using PF_GPU_Framework = A_long;
using PF_Cmd = A_long;
using PF_Quality = A_long;
using PF_Field = A_long;
using PF_ChannelMask = A_long;
using PF_WorldFlags = A_long;
using PF_InFlags = A_long;
using PF_OutFlags = A_long;
using PF_OutFlags2 = A_long;
using A_AppID = A_long;
using PF_Precision = A_short;
using PF_ValueDisplayFlags = A_short;
using PF_RenderOutputFlags = int16_t;
using PF_FSliderFlags = A_u_long;
using AEGP_PluginID = A_long;
using AEGP_DynStreamFlags = A_u_long;
using AEGP_EffectIndex = A_long;
using AEGP_EffectFlags = A_long;
using AEGP_LayerStream = A_long;
using AEGP_MaskStream = A_long;
using AEGP_StreamGroupingType = A_long;
using AEGP_KeyInterpolationMask = A_long;
using AEGP_InstalledEffectKey = A_long;

// --- opaque references -----------------------------------------------------
// The host hands these out and takes them back; their targets are its own.
struct PF_ProgressInfo;
struct PF_PluginData;
struct AEGP_EffectRefOpaque;
struct AEGP_StreamRefOpaque;
struct AEGP_LayerOpaque;
struct AEGP_MaskRefOpaque;
struct AEGP_GlobalRefconOpaque;
struct AEGP_ErrReportStateOpaque;

using PF_ProgPtr = PF_ProgressInfo*;
using PF_PluginDataPtr = PF_PluginData*;
using PF_Handle = void**;
using AEGP_EffectRefH = AEGP_EffectRefOpaque**;
using AEGP_StreamRefH = AEGP_StreamRefOpaque**;
using AEGP_LayerH = AEGP_LayerOpaque**;
using AEGP_MaskRefH = AEGP_MaskRefOpaque**;
using AEGP_GlobalRefcon = AEGP_GlobalRefconOpaque*;
using AEGP_ErrReportState = AEGP_ErrReportStateOpaque*;

// --- small records -----------------------------------------------------------
struct PF_RationalScale {
    A_long num;
    A_u_long den;
};
static_assert(sizeof(PF_RationalScale) == 8 && offsetof(PF_RationalScale, den) == 4);

struct PF_SpecVersion {
    A_short major;
    A_short minor;
};
static_assert(sizeof(PF_SpecVersion) == 4);

struct PF_LRect {
    A_long left;
    A_long top;
    A_long right;
    A_long bottom;
};
using PF_Rect = PF_LRect;
using PF_UnionableRect = PF_LRect;
static_assert(sizeof(PF_LRect) == 16 && offsetof(PF_LRect, top) == 4 && offsetof(PF_LRect, right) == 8 &&
              offsetof(PF_LRect, bottom) == 12);

struct PF_Point {
    A_long h;
    A_long v;
};
static_assert(sizeof(PF_Point) == 8);

struct A_Time {
    A_long value;
    A_u_long scale;
};
static_assert(sizeof(A_Time) == 8);

struct PF_SoundFormatInfo {
    PF_FpLong rateF;
    A_short num_channels;
    A_short format;
    A_short sample_size;
};
static_assert(sizeof(PF_SoundFormatInfo) == 16 && alignof(PF_SoundFormatInfo) == 8);

struct PF_SoundWorld {
    PF_SoundFormatInfo fi;
    A_long num_samples;
    void* dataP;
};
static_assert(sizeof(PF_SoundWorld) == 32 && offsetof(PF_SoundWorld, dataP) == 24);

// Pixels are alpha, red, green, blue at every depth.
struct PF_Pixel {
    A_u_char alpha, red, green, blue;
};
struct PF_Pixel16 {
    A_u_short alpha, red, green, blue;
};
struct PF_PixelFloat {
    PF_FpShort alpha, red, green, blue;
};
using PF_Pixel8 = PF_Pixel;
using PF_Pixel32 = PF_PixelFloat;
using PF_PixelPtr = PF_Pixel*;
static_assert(sizeof(PF_Pixel) == 4 && sizeof(PF_Pixel16) == 8 && sizeof(PF_PixelFloat) == 16);
