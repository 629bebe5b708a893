// Colours of the window models.
//
// A colour is either a fixed 24-bit RGB value or the desktop's window-background
// system colour, whose real value only the front end knows. Values are held the
// way the platform holds them (0x00BBGGRR); the system colour uses the high bit,
// so it can never equal a fixed colour.
#pragma once

#include <cstdint>

namespace vqd {

class Colour {
public:
    constexpr Colour() = default;

    // From the #RRGGBB notation used in the window tables.
    static constexpr Colour rgb(std::uint32_t rrggbb) {
        return Colour(((rrggbb & 0xFF0000u) >> 16) | (rrggbb & 0x00FF00u) | ((rrggbb & 0x0000FFu) << 16));
    }
    static constexpr Colour window_background() { return Colour(kSystemBit | 5u); }

    constexpr bool is_system() const { return (value_ & kSystemBit) != 0; }
    constexpr std::uint32_t bgr() const { return value_; }
    constexpr std::uint8_t red() const { return static_cast<std::uint8_t>(value_ & 0xFF); }
    constexpr std::uint8_t green() const { return static_cast<std::uint8_t>((value_ >> 8) & 0xFF); }
    constexpr std::uint8_t blue() const { return static_cast<std::uint8_t>((value_ >> 16) & 0xFF); }
    constexpr std::uint32_t rrggbb() const {
        return (std::uint32_t{red()} << 16) | (std::uint32_t{green()} << 8) | blue();
    }

    friend constexpr bool operator==(Colour, Colour) = default;

private:
    static constexpr std::uint32_t kSystemBit = 0x80000000u;
    constexpr explicit Colour(std::uint32_t v) : value_(v) {}
    std::uint32_t value_ = 0;
};

namespace colours {
inline constexpr Colour black = Colour::rgb(0x000000);
inline constexpr Colour green = Colour::rgb(0x00FF00);
inline constexpr Colour red = Colour::rgb(0xFF0000);
inline constexpr Colour cyan = Colour::rgb(0x00FFFF);
inline constexpr Colour yellow = Colour::rgb(0xFFFF00);
inline constexpr Colour queued_pink = Colour::rgb(0xFF80FF);
inline constexpr Colour light_grey = Colour::rgb(0xE0E0E0);
inline constexpr Colour window_background = Colour::window_background();
}  // namespace colours

}  // namespace vqd
