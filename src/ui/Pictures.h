#pragma once
// The program's pictures, drawn rather than shipped: the aircraft frames
// (bitmaps 202-211, 96 x 96) and the transmitter (bitmap 212, 218 x 142).
// All are 24-bit RGB.

#include <QImage>

namespace apdesk {

inline constexpr int kFirstAircraftBitmap = 202;
inline constexpr int kGenericAircraftBitmap = 211;
inline constexpr int kTransmitterBitmap = 212;

// 202 four arms cross, 203 four arms X, 204 six arms cross, 205 six arms X,
// 206 eight arms cross, 207 eight arms X, 208 Y6, 209 tricopter,
// 210 coaxial X8, 211 a generic aircraft. Any other id gives 211.
QImage AircraftPicture(int bitmapId);

// A two-stick transmitter with circular arrows around both sticks, on the
// application's window colour.
QImage TransmitterPicture();

}  // namespace apdesk
