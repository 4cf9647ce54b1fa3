// The bench's simulated aircraft: the table of simulator variables and what
// each catalogued event does to them, as a simple aircraft would.
#pragma once

#include <cstdint>
#include <map>

namespace bench {

class SimState {
 public:
  SimState();

  double Get(uint32_t id) const;
  void Set(uint32_t id, double value);
  bool Has(uint32_t id) const { return vars_.count(id) != 0; }
  const std::map<uint32_t, double>& vars() const { return vars_; }

  // Acts on one event as the aircraft would. Unknown ids change nothing.
  void ApplyEvent(uint32_t id, int32_t value);

  // State the catalogue has no variable for.
  int coordination_position = -1;  // -1 until an auto-coordination event
  int spoiler_deployments = 0;

 private:
  void Toggle(uint32_t id);
  template <size_t N>
  void Release(const uint32_t (&holds)[N]);
  // A hold engages only while the autopilot master reads 1.
  void Engage(uint32_t id);
  void EngageLateral(uint32_t id);
  void EngageSpeed(uint32_t id);
  void StepTarget(uint32_t id, double step, double low, double high);
  void StepHeading(uint32_t id, int step);
  std::map<uint32_t, double> vars_;
};

}  // namespace bench
