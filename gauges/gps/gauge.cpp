// Kestrel41: the GPS navigator gauge. Its definition (bitmaps, element tree,
// variables), its state, and the routines that drive navigation, coupling
// and the screen in the order the simulator calls them.
#include <string.h>

#include "gauge_builders.h"
#include "gauge_routines.h"
#include "gps_resources.h"
#include "gps_state.h"
#include "panel_services.h"
#include "sim_ids.h"

namespace gps {

// ---- state ----

GaugeState state = {
    nullptr,  // companion
    {},       // currentItem
    {},       // nextItem
    0,        // apCoupled
    0.0,      // steerHeading
    0.1,      // distanceNm
    0.0,      // leadNm
    0,        // updateCounter
    {},       // captionText
    {},       // screen
};

// ---- variables: the first nine are bound at install in this order ----

ModuleVar latitudeVar = gauge::Var(var::kLatitude);
ModuleVar longitudeVar = gauge::Var(var::kLongitude);
ModuleVar headingVar = gauge::Var(var::kHeading);
ModuleVar variationVar = gauge::Var(var::kMagneticVariation);
ModuleVar climbRateVar = gauge::Var(var::kClimbRateSelect);
ModuleVar airspeedVar = gauge::Var(var::kAirspeed);
ModuleVar machVar = gauge::Var(var::kMachSpeed);
ModuleVar windSpeedVar = gauge::Var(var::kWindSpeed);
ModuleVar windDirectionVar = gauge::Var(var::kWindDirection);
ModuleVar altitudeVar = gauge::Var(var::kAltitude);  // only looked up where used

double Read(ModuleVar& record) {
  services::LookupVar(&record);
  return record.value;
}

void ClearRecord(GpsRecord& record) {
  memset(record.ident, ' ', 5);
  record.ident[5] = '\0';
  memset(record.name, ' ', 24);
  record.name[24] = '\0';  // the last byte of name is left as it was
  memset(reinterpret_cast<char*>(&record) + offsetof(GpsRecord, latitude), 0,
         sizeof record - offsetof(GpsRecord, latitude));
}

// ---- caption ----

namespace {

// The caption is stored with every character's code raised by one and a "Z"
// after it; a caption may therefore hold no "Y".
template <size_t N>
struct StoredText {
  char text[N + 1];
};

template <size_t N>
constexpr StoredText<N> Scramble(const char (&plain)[N]) {
  StoredText<N> stored{};
  for (size_t i = 0; i + 1 < N; ++i) stored.text[i] = static_cast<char>(plain[i] + 1);
  stored.text[N - 1] = 'Z';
  stored.text[N] = '\0';
  return stored;
}

template <size_t N>
constexpr bool HasNoMarkerClash(const char (&plain)[N]) {
  for (size_t i = 0; i + 1 < N; ++i)
    if (plain[i] == 'Y') return false;
  return true;
}

constexpr char kCaption[] = "KESTREL GPS";
static_assert(HasNoMarkerClash(kCaption), "a caption with Y cannot be stored");
constexpr StoredText<sizeof kCaption> kStoredCaption = Scramble(kCaption);
static_assert(sizeof kStoredCaption.text <= kCaptionSize, "caption buffer too small");

}  // namespace

// Copies the stored caption and lowers every character before the first "Z",
// which becomes the end of the text.
void UnscrambleCaption() {
  char* text = state.captionText;
  size_t n = 0;
  while (n + 1 < kCaptionSize && kStoredCaption.text[n] != '\0') {
    text[n] = kStoredCaption.text[n];
    ++n;
  }
  text[n] = '\0';
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == 'Z') {
      *c = '\0';
      break;
    }
    *c = static_cast<char>(*c - 1);
  }
}

namespace {

extern GaugeHeader gaugeHeader;

// ---- element tree: the black frame and, as its child, the screen ----

StaticImageElement screenElement =
    gauge::StaticImage(kBmpScreen, 0, 0, &gaugeHeader, nullptr, nullptr, 0x6);
ElementHeader* frameChildren[] = {&screenElement.header, nullptr};
StaticImageElement frameElement =
    gauge::StaticImage(kBmpFrame, 0, 0, &gaugeHeader, frameChildren, nullptr, 0x1);
ElementHeader* elementList[] = {&frameElement.header};

ModuleVar* const boundAtInstall[] = {
    &latitudeVar, &longitudeVar, &headingVar,   &variationVar,     &climbRateVar,
    &airspeedVar, &machVar,      &windSpeedVar, &windDirectionVar,
};

// The refresh block runs on every 13th update.
constexpr int32_t kUpdatesBetweenRefreshes = 12;

// ---- routines ----

using Standard = gauge::StandardRoutines<gaugeHeader, mouseRects>;

void GAUGE_CALL Install(uint32_t argument) {
  services::InstallElements(gauge::Root(gaugeHeader), argument);
  gauge::InstallMouse(gaugeHeader, mouseRects);
  for (ModuleVar* record : boundAtInstall) services::InitializeVar(record);
  TryLoadCompanion();  // a missing library is retried later
  UnscrambleCaption();
}

void GAUGE_CALL Initialize() {
  services::InitializeElements(gauge::Root(gaugeHeader));
  CompanionGetData(&state.currentItem);
  // Either flag couples, whatever the mode; nothing is sent here.
  if (state.currentItem.coupleDirect == 1 || state.currentItem.coupleTour == 1) state.apCoupled = 1;
  LoadNextItem(1);
  CreateScreen(&screenElement);
}

void RefreshBlock() {
  state.updateCounter = 0;
  TryLoadCompanion();
  CompanionGetData(&state.currentItem);
  RefreshHeading();
  services::UpdateElements(gauge::Root(gaugeHeader));
  DrawScreen(&screenElement);
  services::InitializeElements(&screenElement.header);
}

void GAUGE_CALL Update() {
  UpdateLeg();
  UpdateLead();
  CorrectForWind();
  state.updateCounter += 1;
  SequencingCheck();
  if (state.updateCounter > kUpdatesBetweenRefreshes) RefreshBlock();
}

void GAUGE_CALL Kill() {
  services::UnregisterMouseRects(mouseRects, &gaugeHeader);
  services::KillElements(gauge::Root(gaugeHeader));
  ReleaseScreen();
  ReleaseCompanion();
}

GaugeHeader gaugeHeader =
    gauge::Gauge("Kestrel41", elementList, Standard::Query, Install, Initialize, Update,
                 Standard::Generate, Standard::Draw, Kill, 0);

}  // namespace

}  // namespace gps

GAUGE_LINKAGE(gps::gaugeHeader)
