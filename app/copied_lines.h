#pragma once

// How the dialog speaks of beacons copied from a recording: the entries of the choice between
// several, and the characters the decoder was unsure of.

#include <QString>
#include <QStringList>

#include "copied_beacon.h"

namespace telvane {

// Below this confidence a copied character is marked as a misheard one is.
inline constexpr double kDoubtfulConfidence = 0.9;

// "01:23  97 %  ZK1 AB CD/EF …": where the beacon starts in the recording, how sure the decoder
// is of it, and its first characters.
QString ChoiceLabel(const morse::CopiedBeacon& beacon);

// One note per doubtful character of a copied line: "heard '8', could be 'B' (position 6)".
QStringList DoubtfulCharacters(const morse::CopiedLine& line);

}  // namespace telvane
