#include "inspector/SentenceFields.h"

#include "protocol/ParameterCodec.h"
#include "protocol/StatusSentence.h"

namespace apdesk {

std::string HexText(const std::uint8_t* bytes, std::size_t length, std::size_t perLine) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  if (bytes == nullptr) return out;
  out.reserve(length * 3);
  for (std::size_t i = 0; i < length; ++i) {
    if (i > 0) out += (perLine != 0 && i % perLine == 0) ? '\n' : ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

namespace {

void Add(std::vector<SentenceField>& f, const char* name, std::string value) {
  f.push_back({name, std::move(value)});
}

void StatusFieldsOf(const std::uint8_t* s, std::vector<SentenceField>& f) {
  const StatusFields v = ReadStatusFields(s);
  Add(f, "latitude", FormatText("%.6f", static_cast<double>(v.latitude)));
  Add(f, "longitude", FormatText("%.6f", static_cast<double>(v.longitude)));
  Add(f, "altitude", FormatText("%.1f m", v.AltitudeShown()));
  Add(f, "course", FormatText("%.1f deg", v.CourseDegrees()));
  Add(f, "satellites", FormatText("%d", v.satellites));
  Add(f, "time",
      FormatText("%d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour, v.minute, v.second));
  Add(f, "voltage", FormatText("%.3f V", v.Volts()));
  Add(f, "velocity x", FormatText("%d cm/s", v.velocityX));
  Add(f, "velocity y", FormatText("%d cm/s", v.velocityY));
  Add(f, "pdop", FormatText("%.1f", v.Pdop()));
  Add(f, "sticks (rud ele thr ail)", FormatText("%d %d %d %d", v.rudder, v.elevator, v.throttle, v.aileron));
  Add(f, "attitude (up left)",
      FormatText("%d %d", static_cast<int>(v.attitudeUp), static_cast<int>(v.attitudeLeft)));
  Add(f, "flight status", FormatText("%d", v.flightStatus));
  Add(f, "version", FormatText("%d", v.Version()));
}

void ParameterFieldsOf(const std::uint8_t* s, std::vector<SentenceField>& f) {
  const std::optional<ParameterView> v = DecodeParameterSentence(s);
  if (!v) return;
  Add(f, "aircraft type", FormatText("%d", v->aircraftTypeCode));
  Add(f, "cell count", v->cellCountText);
  Add(f, "max speed code", FormatText("%d", v->maxSpeedCode));
  Add(f, "vertical speed code", FormatText("%d", v->verticalSpeedCode));
  Add(f, "fail-safe code", FormatText("%d", v->failSafeCode));
  Add(f, "altitude limit", FormatText("%d m", v->altitudeLimit));
  Add(f, "distance limit", FormatText("%d m", v->distanceLimit));
  Add(f, "roll / pitch sensitivity", v->rollSensitivityText + " / " + v->pitchSensitivityText);
  Add(f, "gimbal roll / pitch", v->gimbalRollText + " / " + v->gimbalPitchText);
  Add(f, "sway compensation", v->swayCompensationText);
}

}  // namespace

std::vector<SentenceField> DescribeSentence(SentenceTag tag, const std::uint8_t* bytes, std::size_t length) {
  std::vector<SentenceField> f;
  const auto index = static_cast<std::size_t>(tag);
  if (bytes == nullptr || index >= kTagCount) return f;
  const SentenceInfo& info = InfoOf(tag);
  Add(f, "length", FormatText("%zu", length));
  if (length < info.length) return f;
  if (info.summed) Add(f, "sum", SumHolds(bytes, info.length) ? "right" : "wrong");
  switch (tag) {
    case SentenceTag::Stp:
      StatusFieldsOf(bytes, f);
      break;
    case SentenceTag::Par:
      ParameterFieldsOf(bytes, f);
      break;
    case SentenceTag::Tbs: {
      const InstallError e = ReadInstallError(bytes);
      Add(f, "installation error",
          FormatText("%.1f, %.1f", static_cast<double>(e.first), static_cast<double>(e.second)));
      break;
    }
    default:
      // The other sentences are taken out and ignored: their bytes are all there is.
      if (info.length > info.text.size())
        Add(f, "payload", HexText(bytes + info.text.size(), info.length - info.text.size()));
      break;
  }
  return f;
}

}  // namespace apdesk
