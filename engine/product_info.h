// Names and numbers the product presents to hosts and users.
#pragma once

#include "host/aeffect.h"

constexpr const char* kEffectName = "Lumeric";
constexpr const char* kProductString = "Lumeric";
constexpr const char* kVendorString = "lumeric.example"; // the maker's web domain (reserved for examples)
constexpr const char* kWebSiteHost = "lumeric.example";
constexpr const char* kWebSiteUrl = "https://lumeric.example/";
constexpr VstInt32 kUniqueId = fourCharCode('Q', 'V', '4', 'M');
constexpr VstInt32 kVendorVersion = 1000;
constexpr const char* kLicenceUrl = "http://opensource.org/licenses/MIT"; // the MIT License (LICENSE)
