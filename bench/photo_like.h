#pragma once
// A generated stand-in for a photograph: a sky gradient, textured ground, shaded round
// objects, soft shadows, fine detail and sensor noise. Flat colour would flatter any
// quantiser; this has the smooth ramps and the noise that real photographs have.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/bitmap.h"

namespace kalmira_bench {

inline std::uint32_t hash2(int x, int y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u + static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

inline float valueNoise(float x, float y, std::uint32_t seed) {
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const float fx = x - xi, fy = y - yi;
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    auto v = [&](int a, int b) { return (hash2(a, b, seed) & 0xFFFF) / 65535.0f; };
    const float top = v(xi, yi) + (v(xi + 1, yi) - v(xi, yi)) * sx;
    const float bottom = v(xi, yi + 1) + (v(xi + 1, yi + 1) - v(xi, yi + 1)) * sx;
    return top + (bottom - top) * sy;
}

inline float fractal(float x, float y, std::uint32_t seed, int octaves) {
    float sum = 0, amp = 0.5f, freq = 1;
    for (int o = 0; o < octaves; ++o, amp *= 0.5f, freq *= 2.03f) sum += amp * valueNoise(x * freq, y * freq, seed + o);
    return sum;
}

// width x height, 24 bits.
inline imaging::Bitmap photoLike(int width, int height, std::uint32_t seed = 1) {
    imaging::Bitmap bmp(width, height, 24);
    const float scale = 1.0f / static_cast<float>(std::min(width, height));
    struct Ball {
        float cx, cy, r, cr, cg, cb;
    };
    const Ball balls[] = {
        {0.30f, 0.62f, 0.16f, 200, 40, 30},  {0.58f, 0.55f, 0.11f, 230, 190, 60},
        {0.80f, 0.70f, 0.14f, 225, 170, 140}, {0.45f, 0.80f, 0.07f, 60, 90, 200},
    };
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bmp.row(y);
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width * aspect, v = static_cast<float>(y) / height;
            float r, g, b;
            const float horizon = 0.45f + 0.05f * fractal(u * 3, 0.5f, seed + 7, 3);
            if (v < horizon) {
                const float t = v / horizon;
                const float cloud = std::max(0.0f, fractal(u * 4, v * 8, seed + 11, 5) - 0.45f) * 2.2f;
                r = 70 + 120 * t + 160 * cloud;
                g = 120 + 90 * t + 140 * cloud;
                b = 210 + 30 * t + 100 * cloud;
            } else {
                const float t = (v - horizon) / (1 - horizon);
                const float tex = fractal(x * scale * 40, y * scale * 40, seed + 3, 5);
                const float field = fractal(u * 2, v * 2, seed + 5, 3);
                r = 60 + 80 * field + 60 * tex - 30 * t;
                g = 90 + 70 * field + 50 * tex - 20 * t;
                b = 30 + 30 * field + 30 * tex;
                const float grass = std::sin((x * 0.9f + 7 * fractal(u * 20, v * 20, seed, 2)) * 1.3f);
                r += 8 * grass, g += 12 * grass;
            }
            for (const Ball& ball : balls) {
                const float dx = (u - ball.cx * aspect) / ball.r, dy = (v - ball.cy) / ball.r;
                const float d2 = dx * dx + dy * dy;
                if (d2 < 1) {
                    const float nz = std::sqrt(1 - d2);
                    const float light = std::max(0.0f, -0.5f * dx - 0.6f * dy + 0.62f * nz);
                    const float specular = std::pow(std::max(0.0f, light), 24.0f);
                    const float grain = 0.9f + 0.2f * fractal(u * 60, v * 60, seed + 13, 2);
                    r = ball.cr * (0.15f + 0.85f * light) * grain + 255 * specular * 0.6f;
                    g = ball.cg * (0.15f + 0.85f * light) * grain + 255 * specular * 0.6f;
                    b = ball.cb * (0.15f + 0.85f * light) * grain + 255 * specular * 0.6f;
                } else if (d2 < 1.6f && dy > 0.2f) {
                    const float shade = 0.6f + 0.4f * (d2 - 1) / 0.6f;
                    r *= shade, g *= shade, b *= shade;
                }
            }
            const float vig = 1.0f - 0.25f * ((u / aspect - 0.5f) * (u / aspect - 0.5f) + (v - 0.5f) * (v - 0.5f)) * 2;
            // Sensor noise: a sum of uniforms is close enough to Gaussian (sigma about 3 levels).
            const std::uint32_t h = hash2(x, y, seed + 101);
            const float noise = (static_cast<float>(h & 255) + ((h >> 8) & 255) + ((h >> 16) & 255) - 382.5f) / 25.0f;
            const std::uint32_t h2 = hash2(y, x, seed + 202);
            const float chroma = ((h2 & 255) - 127.5f) / 80.0f;
            const float px[3] = {r * vig + noise + chroma, g * vig + noise, b * vig + noise - chroma};
            for (int k = 0; k < 3; ++k)
                row[3 * x + k] = static_cast<std::uint8_t>(std::clamp(std::lround(px[k]), 0L, 255L));
        }
    }
    return bmp;
}

}  // namespace kalmira_bench
