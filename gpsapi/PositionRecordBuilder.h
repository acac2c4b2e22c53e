// Keeps the position record up to date from gpsd's reports as libgps decodes them: a TPV sets
// the fix part, a SKY the precision and satellite part. Used by the gpsd thread only.
//
// Units: gpsd gives metres per second, the record knots; everything else passes through (degrees,
// metres above mean sea level). Only what libgps decoded counts: a value whose flag it did not set
// in gps_data_t::set, or that is not a finite number, leaves its valid bit clear. A TPV is a fix
// (fix type 2D or 3D) only with a 2D or 3D mode and both coordinates decoded and on the globe;
// anything less makes a record without a fix, which keeps nothing of the fix before.
#pragma once

#include "core/PositionRecord.h"

#include <gps.h>

namespace movira {

class PositionRecordBuilder {
public:
    PositionRecordBuilder();

    // Back to no fix and no satellites: nothing is known (not connected).
    void clear();
    // The TPV libgps just decoded into `data` (its fix and its set flags).
    void applyTpv(const gps_data_t& data);
    void applySky(const gps_data_t& data);
    const PositionRecord& record() const { return record_; }
    bool hasFix() const { return record_.fixType != 0; }

private:
    PositionRecord record_;
};

}  // namespace movira
