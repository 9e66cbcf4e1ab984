// Readouts with state or layout of their own: the Roll and Turn rates, the
// latitude and longitude texts, and the three digits of "hud_mph".
#pragma once

#include "framework/records.h"

namespace flightlog {

// Rate readouts: change of a whole angle per second between samples of their
// tick gate. The Roll readout also drives the recorder (one sample per
// opening of its gate). Both return their first variable's value.
double GAUGE_CALL RollReadout(gauge::ElementHeader* element);
double GAUGE_CALL TurnReadout(gauge::ElementHeader* element);

// "N 47 06.50" from token 71; returns the latitude in seconds of arc.
double GAUGE_CALL LatitudeReadout(gauge::ElementHeader* element);
// "W122 19.75" from token 72; returns the longitude in degrees.
double GAUGE_CALL LongitudeReadout(gauge::ElementHeader* element);

// "hud_mph": the units icon (token 61) formats the speed, the tens and
// hundreds icons show the digits it left; each returns a digit 0..9.
double GAUGE_CALL HudHundreds(gauge::ElementHeader* element);
double GAUGE_CALL HudTens(gauge::ElementHeader* element);
double GAUGE_CALL HudUnits(gauge::ElementHeader* element);

}  // namespace flightlog
