// Keeps the position record up to date from gpsd's reports as libgps decodes them: a TPV sets
// the fix part, a SKY the precision and satellite part. Used by the gpsd thread only.
//
// Units: gpsd gives metres per second, the record knots; everything else passes through (degrees,
// metres above mean sea level). A value gpsd does not report (NaN) leaves its valid bit clear, and
// a TPV without a 2D or 3D fix makes a record without a fix (fix type 0).
#pragma once

#include "core/PositionRecord.h"

#include <gps.h>

namespace movira {

class PositionRecordBuilder {
public:
    PositionRecordBuilder();

    // Back to no fix and no satellites: nothing is known (not connected).
    void clear();
    void applyTpv(const gps_fix_t& fix);
    void applySky(const gps_data_t& data);
    const PositionRecord& record() const { return record_; }

private:
    PositionRecord record_;
};

}  // namespace movira
