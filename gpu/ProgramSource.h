// The OpenCL C program of the GPU path, built once per load. Kernel names and
// argument positions are an interface: PatternGpu.cpp finds the kernels by
// these names and sets their arguments by position.
//
// Each kernel computes per work-item what the matching processor operation
// computes per pixel, in the same order of operations; contraction into fused
// multiply-adds is switched off so the two paths round alike. Literals carry
// the f suffix: an unsuffixed literal is a double and would pull the
// arithmetic into double precision on devices that support it.
#pragma once

namespace maculo {

inline constexpr char kPatternProgramSource[] = R"CLC(
#pragma OPENCL FP_CONTRACT OFF

/* NaN and -0 become +0. Written with comparisons, as the processor clamp is:
   OpenCL's min and max leave NaN undefined, and a zero's sign could differ. */
inline float Saturate(const float n)
{
    const float c = n > 0.0f ? n : 0.0f;
    return c < 1.0f ? c : 1.0f;
}

inline float4 Saturate4(const float4 n)
{
    return (float4)(Saturate(n.x), Saturate(n.y), Saturate(n.z), Saturate(n.w));
}

/* Reflects x into 0 ... last without repeating the edge pixel, reflecting
   again for rows shorter than the filter's reach, so no read leaves the row. */
inline int Mirror(const int x, const int last)
{
    if (last <= 0) return 0;
    const uint period = 2u * (uint)last;
    uint q = abs(x) % period;
    if (q > (uint)last) q = period - q;
    return (int)q;
}

kernel void CreateKernel(global float* lut, const int radius, const float coef1, const float coef2)
{
    const int i = (int)get_global_id(0);
    const int hr = radius / 2;
    const int di = i - hr;
    lut[i] = coef1 * exp((float)(di * di) * coef2);
}

kernel void BoxBlur(global float4* src, global float4* out, const int width, const int pitch,
                    const float amount)
{
    const int x = (int)get_global_id(0);
    const int y = (int)get_global_id(1);
    const int line = y * pitch;
    const int pos = line + x;
    const int last = width - 1;
    const int ksize = (int)(amount / 2.0f) * 2 + 1;
    const int hr = ksize / 2;
    const float dec = amount / 2.0f - floor(amount / 2.0f);

    float4 sum = (float4)(0.0f);
    for (int i = -hr; i <= hr; ++i) {
        sum += src[line + Mirror(x + i, last)];
    }
    sum += src[line + Mirror(x - (hr + 1), last)] * dec;
    sum += src[line + Mirror(x + (hr + 1), last)] * dec;
    out[pos] = Saturate4(sum / ((float)ksize + dec * 2.0f));
}

kernel void GaussianBlur(global float4* src, global float4* out, const int width, const int pitch,
                         const int radius, const global float* lut)
{
    const int x = (int)get_global_id(0);
    const int y = (int)get_global_id(1);
    const int line = y * pitch;
    const int pos = line + x;
    const int last = width - 1;
    const int hr = radius / 2;

    float4 sum = (float4)(0.0f);
    float wsum = 0.0f;
    for (int i = 0; i < radius; ++i) {
        const float w = lut[i];
        sum += src[line + Mirror(x + i - hr, last)] * w;
        wsum += w;
    }
    out[pos] = Saturate4(sum / wsum);
}

kernel void UnsharpMask(global float4* src, global float4* blured, global float4* out,
                        const float amount)
{
    const int pos = (int)get_global_id(0);
    const float4 s = src[pos];
    out[pos] = Saturate4(s + (s - blured[pos]) * amount);
}

kernel void Rotate90(const global float4* src, global float4* out, const int pitch, const int height)
{
    const int x = (int)get_global_id(0);
    const int y = (int)get_global_id(1);
    out[x * height + (height - 1 - y)] = src[y * pitch + x];
}

kernel void Rotate_90(const global float4* src, global float4* out, const int pitch, const int height)
{
    const int x = (int)get_global_id(0);
    const int y = (int)get_global_id(1);
    out[(pitch - 1 - x) * height + y] = src[y * pitch + x];
}

/* Reads its element before writing it, so src and out may be one buffer. */
kernel void ConvGray(global float4* src, global float4* out)
{
    const int pos = (int)get_global_id(0);
    const float4 p = src[pos];
    const float c = 0.298912f * p.y + 0.586611f * p.z + 0.114478f * p.w;
    out[pos] = (float4)(p.x, c, c, c);
}
)CLC";

}  // namespace maculo
