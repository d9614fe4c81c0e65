#pragma once

#include <QString>

// A MAC address has two spellings: one for people and one for keys that must stay a single token.

// "00:04:A3:12:34:56": screens, mail, the history's keys, rackmind-ctl, the group and event files.
QString macDisplay(const quint8* pMac);
// "0004A3123456": metrics labels and the outlet protection list.
QString macDigits(const quint8* pMac);
