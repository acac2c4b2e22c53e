// Turns NMEA 0183 sentences and GPS access library records into the current fix,
// the table of satellites in view and the track log. Called on the GPS reader
// thread only, under the model lock; readers take the same lock.
#pragma once

#include "core/GpsFix.h"
#include "core/PositionRecord.h"
#include "core/SatelliteInfo.h"
#include "core/SatelliteTable.h"
#include "core/TrackLog.h"
#include "platform/LocalTimeConverter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace movira {

class Clock;

class NmeaParser {
public:
    static constexpr int MaxFields = 40;
    static constexpr int FieldSize = 100;  // bytes per field, with its terminating zero
    // Longer sentences are read up to here; the reader never passes one longer than 2047.
    static constexpr size_t MaxSentence = 4095;
    static constexpr int SatelliteSlots = SatelliteTable::Capacity;

    explicit NmeaParser(const Clock& clock);
    virtual ~NmeaParser() = default;

    // One sentence from "$" up to (without) its carriage return. True only when a complete
    // RMC was taken: that completes a fix. A sentence whose "*hh" checksum does not match
    // is line noise and changes nothing; one without a checksum is read.
    // Talkers: GP (GPS), GN (combined), and GL, GA, GB, BD, GQ of receivers that send only one
    // system. When several send the same sentence type, one leads (GN before GP before the
    // others, see TalkerLead) and the others are not read while it keeps sending.
    bool parseSentence(std::string_view sentence);
    // The same for a sentence, zero-terminated at `size`, that the caller lets the parser cut
    // into fields where it lies: its separators are overwritten. The reader's path, no copy.
    bool parseSentenceInPlace(char* text, size_t size);
    // One record of the GPS access library, or none (null). Always completes a fix.
    bool applyPositionRecord(const PositionRecord* record);

    const GpsFix& fix() const { return fix_; }
    // Entry i of the satellite table, or null when i is outside 0..SatelliteSlots-1.
    const SatelliteInfo* satellite(int i) const { return satellites_.at(i); }
    const SatelliteTable& satellites() const { return satellites_; }
    size_t trackPointCount() const { return track_.size(); }
    // Point i, or null when i is negative or not below the count.
    const TrackPoint* trackPoint(long long i) const;
    const TrackLog& trackLog() const { return track_; }

    // Conversions shared by all sentences; public for their tests.
    // An empty field, or one that converts to infinity or NaN, gives NoValue.
    static float parseNumber(const char* field);
    static std::optional<float> parseFiniteNumber(const char* field);
    static int32_t parseInteger(const char* field);
    static float nmeaToDegrees(float value);
    static float knotsToKmh(float knots);

    // The talker ids (the two letters after "$") whose fixes are read, the leading one first.
    static std::span<const std::string_view> fixTalkers();

    // Whether a sentence's "*hh" checksum, if it has one, matches the bytes between "$" and "*"
    // (hex digits of either case; only white space may follow them).
    static bool checksumMatches(const char* text, size_t size);

private:
    // Of the talkers that send one sentence type, which is read: the best one sending (the lowest
    // talker number). A lesser one takes over only when it sends that type twice with nothing
    // from the lead between: the lead has gone quiet.
    struct TalkerLead {
        int lead = -1;
        int last = -1;
        bool take(int talker) {
            if (lead < 0 || talker <= lead || last == talker) {
                lead = talker;
                last = talker;
                return true;
            }
            last = talker;
            return false;
        }
    };
    enum LeadType { LeadRmc, LeadGga, LeadVtg, LeadGll, LeadGsa, LeadTypes };

    int splitFields(char* text, size_t size);
    const char* field(int i) const { return i < fieldCount_ ? fields_[static_cast<size_t>(i)] : ""; }
    size_t fieldLength(int i) const { return i < fieldCount_ ? lengths_[static_cast<size_t>(i)] : 0; }
    bool hasField(int i) const { return i < dataFields_; }
    float parseLatitude(int valueField, int hemisphereField) const;
    float parseLongitude(int valueField, int hemisphereField) const;
    void parseDateTime(int timeIndex, int dateIndex);
    void takeDeviceTime();
    void setUtcTime(const SystemTime& utc);
    void appendTrackPoint();

    bool parseRmc(bool tookLead);
    void parseGga();
    void parseVtg();
    void parseGll();
    void parseGsa();
    void parseGsv(int talker);

    const Clock& clock_;
    LocalTimeConverter localTime_;
    // A copy of a sentence that the caller did not let us write into.
    std::array<char, MaxSentence + 1> text_{};
    // The fields of the last sentence, zero-terminated where they lie; past its last, empty.
    std::array<const char*, MaxFields> fields_{};
    std::array<uint8_t, MaxFields> lengths_{};
    int fieldCount_ = 0;
    int dataFields_ = 0;  // fields of the last sentence before its checksum
    std::array<TalkerLead, LeadTypes> leads_{};
    // The time field of the RMC that completed the last fix, to tell a second solution of the
    // same moment from a new one.
    std::array<char, 16> lastRmcTime_{};
    TrackLog track_;
    GpsFix fix_;
    SatelliteTable satellites_;
};

}  // namespace movira
