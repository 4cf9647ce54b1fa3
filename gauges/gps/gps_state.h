// The GPS gauge's shared pieces: the record it exchanges with its companion
// library, its own state, and the routines its parts call in one another.
#pragma once

#include <windows.h>

#include "gauge_records.h"

#pragma pack(push, 4)

// Exchanged by address with the companion library: a fixed 120-byte layout,
// little-endian, doubles in IEEE format, 32-bit fields signed.
struct GpsRecord {
  char ident[6];     // at most 5 characters and a zero
  char name[26];     // a cleared record holds 24 blanks and a zero
  double latitude;   // simulator latitude units
  double longitude;  // simulator longitude units
  int32_t coupleDirect;
  int32_t altHoldDirect;
  double altitudeDirect;  // feet
  double spareDirect;
  int32_t coupleTour;
  int32_t altHoldTour;
  double altitudeTour;  // feet
  double spareTour;
  int32_t mode;  // 0 direct, 1 tour
  int32_t tourIndex;
  double aircraftLatitude;
  double aircraftLongitude;
};

#pragma pack(pop)

static_assert(sizeof(GpsRecord) == 120, "GpsRecord");
static_assert(offsetof(GpsRecord, ident) == 0, "GpsRecord");
static_assert(offsetof(GpsRecord, name) == 6, "GpsRecord");
static_assert(offsetof(GpsRecord, latitude) == 32, "GpsRecord");
static_assert(offsetof(GpsRecord, longitude) == 40, "GpsRecord");
static_assert(offsetof(GpsRecord, coupleDirect) == 48, "GpsRecord");
static_assert(offsetof(GpsRecord, altHoldDirect) == 52, "GpsRecord");
static_assert(offsetof(GpsRecord, altitudeDirect) == 56, "GpsRecord");
static_assert(offsetof(GpsRecord, spareDirect) == 64, "GpsRecord");
static_assert(offsetof(GpsRecord, coupleTour) == 72, "GpsRecord");
static_assert(offsetof(GpsRecord, altHoldTour) == 76, "GpsRecord");
static_assert(offsetof(GpsRecord, altitudeTour) == 80, "GpsRecord");
static_assert(offsetof(GpsRecord, spareTour) == 88, "GpsRecord");
static_assert(offsetof(GpsRecord, mode) == 96, "GpsRecord");
static_assert(offsetof(GpsRecord, tourIndex) == 100, "GpsRecord");
static_assert(offsetof(GpsRecord, aircraftLatitude) == 104, "GpsRecord");
static_assert(offsetof(GpsRecord, aircraftLongitude) == 112, "GpsRecord");

// GDI objects and dimensions of the screen drawing surface.
struct ScreenSurface {
  uint32_t bitsPerPixel = 8;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t byteSize = 0;
  uint32_t lineHeight = 0;
  HDC dc = nullptr;
  HGLOBAL infoMemory = nullptr;
  BITMAPINFO* info = nullptr;  // header and 256 colour entries
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  HPALETTE palette = nullptr;
  HPALETTE oldPalette = nullptr;
};

namespace gps {

constexpr size_t kCaptionSize = 64;

// The gauge state, one instance per loaded module.
struct GaugeState {
  HMODULE companion;
  GpsRecord currentItem;
  GpsRecord nextItem;
  int32_t apCoupled;
  double steerHeading;
  double distanceNm;
  double leadNm;
  int32_t updateCounter;
  char captionText[kCaptionSize];
  ScreenSurface screen;
};
extern GaugeState state;

// The variable records, bound at install in this order.
extern ModuleVar latitudeVar, longitudeVar, headingVar, variationVar, climbRateVar, airspeedVar,
    machVar, windSpeedVar, windDirectionVar, altitudeVar;
double Read(ModuleVar& record);  // LookupVar, then the value

void ClearRecord(GpsRecord& record);
void UnscrambleCaption();

// The mouse list of the five buttons (buttons.cpp).
extern MouseRect mouseRects[];

// Navigation (navigation.cpp).
struct LegResult {
  double distanceNm;
  double bearing;
};
LegResult LegDistanceBearing(double lat1, double lon1, double lat2, double lon2, double variation);
double SpeedEstimate();
double TurnRadius();
void UpdateLeg();
void UpdateLead();
void CorrectForWind();
bool TimeToGo(int32_t* hours, int32_t* minutes);
const char* FormatPosition(double lat, double lon);
void LoadNextItem(int32_t reference);
void SequencingCheck();

// Companion library (companion_link.cpp): each function is looked up by name
// at every use; a missing library or function skips the step.
bool CompanionLoaded();
void TryLoadCompanion();
bool CompanionGetData(GpsRecord* record);
bool CompanionSetData(GpsRecord* record);
bool CompanionSettingDialog(GpsRecord* record);
bool CompanionAboutDialog();
bool CompanionGetTourItem(int32_t direction, int32_t* index);
bool CompanionHas(const char* name);
void ReleaseCompanion();  // FreeLibrary, at kill

// Autopilot coupling (coupling.cpp).
bool AutopilotCoupled();  // coupled for the current mode
int32_t VerticalSpeedCommand();
void EngageCoupling();
void ReleaseCoupling();
void ReissueAutopilot();
void RefreshHeading();

// Screen (screen.cpp).
void CreateScreen(StaticImageElement* screen);
void DrawScreen(StaticImageElement* screen);
void ReleaseScreen();

}  // namespace gps
