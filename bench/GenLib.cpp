// kvb_genlib: writes a synthetic library for the benchmark, the same bytes for
// the same seed. N packages of M liveries each, installed under both
// simulators (or FSX alone), with the client folder and the per-user settings
// files that make kvbconfig find them:
//
//   ROOT/FSX/SimObjects/VORN_KVB/VORN_<type>_<n>/vorn.cfg, texture.<name>/vorn.ini, vorn.liv
//   ROOT/Prepar3D/SimObjects/VORN_KVB/...      (the same packages)
//   ROOT/client/data/
//   ROOT/appdata/VORN/Zaro/config/zaro.ini, pilot.cfg
//   ROOT/appdata/Microsoft/FSX/fsx.cfg
//   ROOT/appdata/Lockheed Martin/Prepar3D/Prepar3D.CFG
//   ROOT/pristine/fsx.cfg, Prepar3D.CFG   (copies, to restore between runs)
//   ROOT/home/
//
// With `--simulators fsx` nothing of Prepar3D is written and the settings name
// no Prepar3D folder, so a run of the tool is one simulator pass.
//
// `--stamp` changes every vorn.cfg of a library made before: it counts up the
// key kvb_bench_stamp in [General] (adding it the first time), so that the
// tool's aircraft.cfg really differs on the next run, which dropped comments
// would not achieve. The value has a fixed width, so only the first stamp
// changes any file's size.
//
// Every text file has CR LF line ends. Usage:
//   kvb_genlib --root DIR --packages N --liveries M [--seed S] [--simulators fsx|both]
//   kvb_genlib --root DIR --stamp
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// splitmix64: the standard distributions differ between libraries, this does not.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Int(int lo, int hi) { return lo + static_cast<int>(Next() % uint64_t(hi - lo + 1)); }
  double Real(double lo, double hi) {
    return lo + (hi - lo) * double(Next() >> 11) / 9007199254740992.0;
  }
  bool Chance(int percent) { return Int(1, 100) <= percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Next() % items.size()];
  }

 private:
  uint64_t state_;
};

std::string Num(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

/// Collects lines and ends each with CR LF.
class Text {
 public:
  void Line(const std::string& line) {
    text_ += line;
    text_ += "\r\n";
  }
  void Blank() { text_ += "\r\n"; }
  void Section(const std::string& name) {
    if (!text_.empty()) Blank();
    Line("[" + name + "]");
  }
  void Key(const std::string& key, const std::string& value) { Line(key + "=" + value); }
  // Hand-edited files put blanks around '=' and comments after values.
  void KeySpaced(const std::string& key, const std::string& value) { Line(key + " = " + value); }
  const std::string& Str() const { return text_; }
  size_t Size() const { return text_.size(); }

 private:
  std::string text_;
};

struct AircraftType {
  std::string icao;
  std::string name;
  std::string maker;
  std::string engineVariant;
  int engines;
  double wingSpan;
  double mtow;
  bool helicopter;
};

const std::vector<AircraftType> kAirliners = {
    {"A319", "Airbus A319-112", "Airbus", "CFM", 2, 111.8, 166450, false},
    {"A320", "Airbus A320-214", "Airbus", "CFM", 2, 111.8, 169756, false},
    {"A321", "Airbus A321-231", "Airbus", "IAE", 2, 111.8, 206132, false},
    {"A332", "Airbus A330-203", "Airbus", "GE", 2, 197.8, 507065, false},
    {"A333", "Airbus A330-343", "Airbus", "RR", 2, 197.8, 533519, false},
    {"A343", "Airbus A340-313", "Airbus", "CFM", 4, 197.8, 606271, false},
    {"A388", "Airbus A380-841", "Airbus", "RR", 4, 261.8, 1268000, false},
    {"B737", "Boeing 737-700", "Boeing", "CFM", 2, 117.4, 154500, false},
    {"B738", "Boeing 737-800", "Boeing", "CFM", 2, 117.4, 174200, false},
    {"B739", "Boeing 737-900ER", "Boeing", "CFM", 2, 117.4, 187700, false},
    {"B744", "Boeing 747-400", "Boeing", "PW", 4, 211.4, 875000, false},
    {"B752", "Boeing 757-200", "Boeing", "RR", 2, 124.8, 255000, false},
    {"B763", "Boeing 767-300ER", "Boeing", "GE", 2, 156.1, 412000, false},
    {"B772", "Boeing 777-200ER", "Boeing", "GE", 2, 199.9, 656000, false},
    {"B77W", "Boeing 777-300ER", "Boeing", "GE", 2, 212.6, 775000, false},
    {"B788", "Boeing 787-8", "Boeing", "RR", 2, 197.3, 502500, false},
    {"CRJ7", "Bombardier CRJ-700", "Bombardier", "GE", 2, 76.3, 75000, false},
    {"CRJ9", "Bombardier CRJ-900", "Bombardier", "GE", 2, 81.6, 84500, false},
    {"DH8D", "Bombardier Dash 8 Q400", "Bombardier", "PW", 2, 93.3, 64500, false},
    {"AT76", "ATR 72-600", "ATR", "PW", 2, 88.8, 50700, false},
    {"E170", "Embraer 170", "Embraer", "GE", 2, 85.3, 82011, false},
    {"E190", "Embraer 190", "Embraer", "GE", 2, 94.3, 114199, false},
    {"MD82", "McDonnell Douglas MD-82", "McDonnell Douglas", "PW", 2, 107.8, 149500, false},
    {"F100", "Fokker 100", "Fokker", "RR", 2, 92.1, 95000, false},
};

const std::vector<AircraftType> kHelicopters = {
    {"EC35", "Eurocopter EC135 P2+", "Eurocopter", "PW", 2, 33.5, 6415, true},
    {"S76", "Sikorsky S-76C++", "Sikorsky", "TM", 2, 44.0, 11700, true},
    {"B412", "Bell 412EP", "Bell", "PW", 2, 46.0, 11900, true},
    {"AS65", "Eurocopter AS365 N3", "Eurocopter", "TM", 2, 39.2, 9480, true},
};

struct Airline {
  std::string code;
  std::string name;
  std::string callsign;
  std::string country;
};

const std::vector<Airline> kAirlines = {
    {"DLH", "Lufthansa", "LUFTHANSA", "D-A"},
    {"BAW", "British Airways", "SPEEDBIRD", "G-"},
    {"AFR", "Air France", "AIRFRANS", "F-G"},
    {"KLM", "KLM Royal Dutch Airlines", "KLM", "PH-"},
    {"IBE", "Iberia", "IBERIA", "EC-"},
    {"AZA", "Alitalia", "ALITALIA", "I-"},
    {"SAS", "Scandinavian Airlines", "SCANDINAVIAN", "SE-"},
    {"FIN", "Finnair", "FINNAIR", "OH-"},
    {"AUA", "Austrian Airlines", "AUSTRIAN", "OE-"},
    {"SWR", "Swiss International Air Lines", "SWISS", "HB-"},
    {"TAP", "TAP Air Portugal", "AIR PORTUGAL", "CS-"},
    {"LOT", "LOT Polish Airlines", "POLLOT", "SP-"},
    {"AEE", "Aegean Airlines", "AEGEAN", "SX-"},
    {"THY", "Turkish Airlines", "TURKISH", "TC-"},
    {"EZY", "easyJet", "EASY", "G-"},
    {"RYR", "Ryanair", "RYANAIR", "EI-"},
    {"UAL", "United Airlines", "UNITED", "N"},
    {"DAL", "Delta Air Lines", "DELTA", "N"},
    {"AAL", "American Airlines", "AMERICAN", "N"},
    {"SWA", "Southwest Airlines", "SOUTHWEST", "N"},
    {"ACA", "Air Canada", "AIR CANADA", "C-"},
    {"WJA", "WestJet", "WESTJET", "C-"},
    {"QFA", "Qantas", "QANTAS", "VH-"},
    {"ANZ", "Air New Zealand", "NEW ZEALAND", "ZK-"},
    {"SIA", "Singapore Airlines", "SINGAPORE", "9V-"},
    {"CPA", "Cathay Pacific", "CATHAY", "B-"},
    {"JAL", "Japan Airlines", "JAPANAIR", "JA"},
    {"ANA", "All Nippon Airways", "ALL NIPPON", "JA"},
    {"UAE", "Emirates", "EMIRATES", "A6-"},
    {"QTR", "Qatar Airways", "QATARI", "A7-"},
    {"ETD", "Etihad Airways", "ETIHAD", "A6-"},
    {"SAA", "South African Airways", "SPRINGBOK", "ZS-"},
    {"KQA", "Kenya Airways", "KENYA", "5Y-"},
    {"ETH", "Ethiopian Airlines", "ETHIOPIAN", "ET-"},
    {"TAM", "LATAM Brasil", "TAM", "PR-"},
    {"AVA", "Avianca", "AVIANCA", "N"},
    {"AMX", "Aeromexico", "AEROMEXICO", "XA-"},
    {"ICE", "Icelandair", "ICEAIR", "TF-"},
    {"NAX", "Norwegian Air Shuttle", "NOR SHUTTLE", "LN-"},
    {"VLG", "Vueling", "VUELING", "EC-"},
    {"WZZ", "Wizz Air", "WIZZ AIR", "HA-"},
    {"EWG", "Eurowings", "EUROWINGS", "D-A"},
    {"CFG", "Condor", "CONDOR", "D-A"},
    {"TUI", "TUI Airways", "TOMSON", "G-"},
    {"VIR", "Virgin Atlantic", "VIRGIN", "G-"},
    {"BEL", "Brussels Airlines", "BEE-LINE", "OO-"},
    {"CSA", "Czech Airlines", "CSA", "OK-"},
    {"ROT", "TAROM", "TAROM", "YR-"},
    {"HAL", "Hawaiian Airlines", "HAWAIIAN", "N"},
    {"ASA", "Alaska Airlines", "ALASKA", "N"},
};

const std::vector<std::string> kModelers = {
    "Thomas Ruth",   "Erick Cantu", "Jaroslav Novak", "Mike Stone",    "Henrik Dahl",
    "Paulo Ricardo", "Ken Ishida",  "Anna Kowalska",  "Lars Pedersen", "Marco Bianchi"};

const std::vector<std::string> kPainters = {
    "Camil Valiquette", "Jens Weber",  "Sam Cheung", "Luis Ortega", "Nina Larsen",
    "David Mills",      "Kurt Schmid", "Yann Morel", "Ola Hansen",  "Rita Gomes"};

// Sections that an airliner's file has besides the ones built below; each gets a
// few keys with plausible values.
const std::vector<std::string> kMinorSections = {"pitot_static",
                                                 "gear_warning_system",
                                                 "brakes",
                                                 "hydraulic_system",
                                                 "pneumatic_system",
                                                 "spoilers",
                                                 "direction_indicators",
                                                 "attitude_indicators",
                                                 "turn_indicators",
                                                 "airspeed_indicators",
                                                 "vertical_speed_indicators",
                                                 "keyboard_response",
                                                 "forcefeedback",
                                                 "stall_warning",
                                                 "deice_system",
                                                 "fuel_dump",
                                                 "Reference Speeds",
                                                 "Views",
                                                 "apu",
                                                 "autobrakes"};

const std::vector<std::string> kMinorKeys = {"vacuum_system_type",
                                             "pitot_heat",
                                             "toe_brakes_scale",
                                             "parking_brake",
                                             "normal_pressure",
                                             "engine_map",
                                             "electric_pumps",
                                             "max_pressure",
                                             "bleed_air_scalar",
                                             "spoiler_limit",
                                             "spoilerons_available",
                                             "aileron_spoileron_ratio",
                                             "min_ailerons_for_spoilerons",
                                             "min_flaps_for_spoilerons",
                                             "spoiler_extension_time",
                                             "type",
                                             "scalar",
                                             "gyro_drift_rate",
                                             "elevator_scaling_table",
                                             "aileron_scaling_table",
                                             "rudder_scaling_table",
                                             "stick_shaker",
                                             "full_flaps_stall_speed",
                                             "flaps_up_stall_speed",
                                             "cruise_speed",
                                             "max_indicated_speed",
                                             "max_mach",
                                             "airspeed_indicator_max",
                                             "time_to_dump",
                                             "dump_rate",
                                             "wing_heat",
                                             "prop_heat",
                                             "eyepoint",
                                             "gear_pos_tone",
                                             "smoke_rate"};

void Write(const fs::path& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  if (!out) {
    std::cerr << "kvb_genlib: cannot write " << path << "\n";
    std::exit(1);
  }
}

std::string PointLine(Random& random, int cls, double x, double y, double z) {
  // class, longitudinal, lateral, vertical, impact damage, brake map, wheel radius,
  // steer angle, static compression, max/static ratio, damping, extension time,
  // retraction time, sound type, airspeed limits
  return std::to_string(cls) + ", " + Num(x, 2) + ", " + Num(y, 2) + ", " + Num(z, 2) + ", " +
         std::to_string(random.Int(8, 30) * 100) + ", " + std::to_string(random.Int(0, 2)) + ", " +
         Num(random.Real(0.8, 2.2), 3) + ", " + Num(random.Real(0, 75), 1) + ", " +
         Num(random.Real(0.3, 1.8), 2) + ", " + Num(random.Real(1.5, 3.0), 1) + ", " +
         Num(random.Real(0.6, 0.95), 2) + ", " + Num(random.Real(5, 12), 1) + ", " +
         Num(random.Real(5, 12), 1) + ", " + std::to_string(random.Int(0, 5)) + ", " +
         Num(random.Real(180, 280), 1) + ", " + Num(random.Real(200, 300), 1);
}

/// The base configuration of a package: an aircraft.cfg without its entries.
std::string BaseConfig(Random& random, const AircraftType& type, int packageNumber) {
  Text t;
  t.Line("; " + type.name + " - VORN Kavbel multiplayer model");
  t.Line("; package " + std::to_string(packageNumber) + ", flight model tuned for AI use");
  t.Line("; Do not edit: aircraft.cfg is rebuilt from this file by the pilot client.");

  t.Section("General");
  t.KeySpaced("atc_type", type.maker);
  t.KeySpaced("atc_model", type.icao);
  t.KeySpaced("editable", "1");
  t.KeySpaced("performance", "");
  t.KeySpaced("Category", type.helicopter ? "Helicopter" : "airplane");

  t.Section("version");
  t.Key("major", "10");
  t.Key("minor", "0");

  const double length = type.wingSpan * random.Real(0.85, 1.1);
  t.Section("WEIGHT_AND_BALANCE");
  t.Key("max_gross_weight", Num(type.mtow, 0));
  t.Key("empty_weight", Num(type.mtow * random.Real(0.5, 0.6), 0));
  t.Key("reference_datum_position", "0.0, 0.0, 0.0");
  t.Key("empty_weight_CG_position",
        Num(random.Real(-8, 2), 3) + ", 0.0, " + Num(random.Real(-2, 2), 3));
  t.Key("CG_forward_limit", Num(random.Real(0.05, 0.15), 3));
  t.Key("CG_aft_limit", Num(random.Real(0.3, 0.45), 3));
  t.Key("empty_weight_pitch_MOI", Num(type.mtow * random.Real(30, 50), 0));
  t.Key("empty_weight_roll_MOI", Num(type.mtow * random.Real(20, 40), 0));
  t.Key("empty_weight_yaw_MOI", Num(type.mtow * random.Real(50, 80), 0));
  t.Key("empty_weight_coupled_MOI", "0.0");
  const int stations = random.Int(6, 12);
  t.Key("max_number_of_stations", std::to_string(stations));
  for (int i = 0; i < stations; ++i)
    t.Key("station_load." + std::to_string(i),
          Num(random.Real(170, 9000), 1) + ", " + Num(random.Real(-60, 60), 1) + ", " +
              Num(random.Real(-3, 3), 1) + ", " + Num(random.Real(-2, 3), 1));
  for (int i = 0; i < stations; ++i)
    t.Key("station_name." + std::to_string(i),
          i < 2 ? (i == 0 ? "Pilot" : "First Officer") : "Cabin zone " + std::to_string(i - 1));

  t.Section("fuel");
  t.Line(
      "//Longitudinal (feet), Lateral (feet), Vertical (feet), Usable(gallons), Unusable(gallons)");
  t.Key("Center1", Num(random.Real(-5, 5), 1) + ", 0.0, " + Num(random.Real(-4, -1), 1) + ", " +
                       Num(random.Real(1000, 20000), 1) + ", 5.0");
  t.Key("LeftMain", Num(random.Real(-10, 0), 1) + ", -" + Num(type.wingSpan * 0.2, 1) + ", " +
                        Num(random.Real(-3, 0), 1) + ", " + Num(random.Real(1500, 12000), 1) +
                        ", 5.0");
  t.Key("RightMain", Num(random.Real(-10, 0), 1) + ", " + Num(type.wingSpan * 0.2, 1) + ", " +
                         Num(random.Real(-3, 0), 1) + ", " + Num(random.Real(1500, 12000), 1) +
                         ", 5.0");
  t.Key("fuel_type", "2");
  t.Key("number_of_tank_selectors", "2");
  t.Key("electric_pump", "1");
  t.Key("fuel_dump_rate", Num(random.Real(0, 0.02), 4));

  t.Section("airplane_geometry");
  t.Key("wing_area", Num(type.wingSpan * type.wingSpan * random.Real(0.09, 0.13), 1));
  t.Key("wing_span", Num(type.wingSpan, 1));
  t.Key("wing_root_chord", Num(type.wingSpan * random.Real(0.12, 0.2), 1));
  t.Key("wing_dihedral", Num(random.Real(2, 7), 1));
  t.Key("wing_incidence", Num(random.Real(0, 3), 1));
  t.Key("wing_twist", Num(random.Real(-5, 0), 1));
  t.Key("oswald_efficiency_factor", Num(random.Real(0.6, 0.85), 2));
  t.Key("wing_winglets_flag", std::to_string(random.Int(0, 1)));
  t.Key("wing_sweep", Num(random.Real(0, 37), 1));
  t.Key("wing_pos_apex_lon", Num(random.Real(-5, 20), 1));
  t.Key("wing_pos_apex_vert", Num(random.Real(-6, 0), 1));
  t.Key("htail_area", Num(type.wingSpan * random.Real(3, 6), 1));
  t.Key("htail_span", Num(type.wingSpan * random.Real(0.3, 0.45), 1));
  t.Key("htail_pos_lon", Num(-length * 0.45, 1));
  t.Key("htail_pos_vert", Num(random.Real(0, 8), 1));
  t.Key("htail_incidence", Num(random.Real(-1, 2), 1));
  t.Key("htail_sweep", Num(random.Real(20, 40), 1));
  t.Key("vtail_area", Num(type.wingSpan * random.Real(2.5, 5), 1));
  t.Key("vtail_span", Num(type.wingSpan * random.Real(0.2, 0.3), 1));
  t.Key("vtail_sweep", Num(random.Real(30, 45), 1));
  t.Key("vtail_pos_lon", Num(-length * 0.42, 1));
  t.Key("vtail_pos_vert", Num(random.Real(5, 20), 1));
  t.Key("elevator_area", Num(random.Real(50, 300), 1));
  t.Key("aileron_area", Num(random.Real(30, 150), 1));
  t.Key("rudder_area", Num(random.Real(40, 250), 1));
  t.Key("elevator_up_limit", Num(random.Real(20, 30), 1));
  t.Key("elevator_down_limit", Num(random.Real(15, 20), 1));
  t.Key("aileron_up_limit", Num(random.Real(20, 25), 1));
  t.Key("aileron_down_limit", Num(random.Real(15, 20), 1));
  t.Key("rudder_limit", Num(random.Real(25, 35), 1));
  t.Key("elevator_trim_limit", Num(random.Real(10, 20), 1));
  t.Key("spoiler_limit", Num(random.Real(45, 60), 1));
  t.Key("spoilerons_available", "1");
  t.Key("aileron_to_spoileron_gain", Num(random.Real(1, 3), 1));
  t.Key("min_ailerons_for_spoilerons", Num(random.Real(5, 12), 1));
  t.Key("min_flaps_for_spoilerons", "0");
  t.Key("auto_spoiler_available", "1");
  t.Key("positive_g_limit_flaps_up", "2.5");
  t.Key("positive_g_limit_flaps_down", "2");
  t.Key("negative_g_limit_flaps_up", "-1");
  t.Key("negative_g_limit_flaps_down", "0");

  t.Section("aerodynamics");
  const char* aeroKeys[] = {"lift_coef_pitch_rate",
                            "lift_coef_daoa",
                            "lift_coef_delta_elevator",
                            "lift_coef_horizontal_incidence",
                            "lift_coef_flaps",
                            "lift_coef_spoilers",
                            "drag_coef_zero_lift",
                            "drag_coef_flaps",
                            "drag_coef_gear",
                            "drag_coef_spoilers",
                            "side_force_slip_angle",
                            "side_force_roll_rate",
                            "side_force_yaw_rate",
                            "side_force_delta_rudder",
                            "pitch_moment_horizontal_incidence",
                            "pitch_moment_delta_elevator",
                            "pitch_moment_delta_trim",
                            "pitch_moment_pitch_damping",
                            "pitch_moment_aoa_0",
                            "pitch_moment_daoa",
                            "pitch_moment_flaps",
                            "pitch_moment_gear",
                            "pitch_moment_spoilers",
                            "roll_moment_slip_angle",
                            "roll_moment_roll_damping",
                            "roll_moment_yaw_rate",
                            "roll_moment_spoilers",
                            "roll_moment_delta_aileron_trim_scalar",
                            "yaw_moment_slip_angle",
                            "yaw_moment_roll",
                            "yaw_moment_yaw_damping",
                            "yaw_moment_yaw_rate",
                            "yaw_moment_delta_rudder",
                            "yaw_moment_delta_rudder_trim_scalar"};
  for (const char* key : aeroKeys) t.Key(key, Num(random.Real(-8, 8), 4));

  t.Section("flight_tuning");
  const char* tuningKeys[] = {"cruise_lift_scalar",
                              "parasite_drag_scalar",
                              "induced_drag_scalar",
                              "elevator_effectiveness",
                              "aileron_effectiveness",
                              "rudder_effectiveness",
                              "pitch_stability",
                              "roll_stability",
                              "yaw_stability",
                              "elevator_trim_effectiveness",
                              "aileron_trim_effectiveness",
                              "rudder_trim_effectiveness",
                              "hi_alpha_on_roll",
                              "hi_alpha_on_yaw",
                              "p_factor_on_yaw",
                              "torque_on_roll",
                              "gyro_precession_on_roll",
                              "gyro_precession_on_yaw"};
  for (const char* key : tuningKeys) t.KeySpaced(key, Num(random.Real(0, 2.5), 2));

  t.Section("GeneralEngineData");
  t.KeySpaced("engine_type", type.helicopter ? "3" : "1");
  t.KeySpaced("min_throttle_limit", Num(random.Real(-0.3, -0.1), 2));
  for (int i = 0; i < type.engines; ++i)
    t.KeySpaced("Engine." + std::to_string(i),
                Num(random.Real(-10, 20), 2) + ", " +
                    Num((i - (type.engines - 1) / 2.0) * type.wingSpan * 0.18, 2) + ", " +
                    Num(random.Real(-8, 0), 2));
  t.KeySpaced("fuel_flow_scalar", Num(random.Real(0.8, 1.2), 2));
  t.KeySpaced("max_contrail_temperature", "-39.724");

  t.Section(type.helicopter ? "turbineengine" : "jet_engine");
  t.Key("thrust_scalar", Num(random.Real(0.9, 1.3), 2));

  t.Section("TurbineEngineData");
  const char* turbineKeys[] = {"fuel_flow_gain",
                               "inlet_area",
                               "rated_N2_rpm",
                               "static_thrust",
                               "reverser_available",
                               "reverser_mach_controlled",
                               "afterburner_available",
                               "afterburner_throttle_threshold",
                               "ThrustSpecificFuelConsumption",
                               "AfterBurnThrustSpecificFuelConsumption",
                               "mach_0_corrected_commanded_ne",
                               "mach_0_corrected_commanded_ne_ratio",
                               "n1_to_n2_table",
                               "mach_influence_on_n1",
                               "epr_max",
                               "epr_tc",
                               "oil_temp_cooling_constant",
                               "oil_temp_heating_constant",
                               "oil_temp_tc",
                               "oil_press_max",
                               "oil_press_tc",
                               "itt_peak_temperature",
                               "itt_tc",
                               "egt_peak_temperature",
                               "egt_tc",
                               "fuel_press_max",
                               "fuel_press_tc",
                               "ignition_system",
                               "max_torque_protection",
                               "max_n1_protection",
                               "max_egt_protection",
                               "primary_nozzle_afterburner_offset"};
  for (const char* key : turbineKeys) {
    if (std::strstr(key, "table") || std::strstr(key, "commanded") ||
        std::strstr(key, "influence")) {
      std::string value;
      for (int i = 0; i < 6; ++i) {
        if (i) value += ", ";
        value += Num(random.Real(0, 1), 3) + ":" + Num(random.Real(0, 110), 2);
      }
      t.Key(key, value);
    } else {
      t.Key(key, Num(random.Real(0, 30000), 3));
    }
  }

  if (type.helicopter) {
    t.Section("helicopter");
    t.Line("; main rotor and tail rotor of the flight model");
    const char* rotorKeys[] = {
        "rotor_rpm_max",       "rotor_rpm_idle",      "rotor_diameter",       "rotor_blades",
        "tail_rotor_diameter", "tail_rotor_pos_lon",  "cyclic_balance_pitch", "cyclic_balance_roll",
        "collective_gain",     "predictor_gain",      "pitch_stability",      "roll_stability",
        "yaw_stability",       "governor_p",          "governor_i",           "governor_d",
        "fuselage_drag",       "ground_effect_scalar"};
    for (const char* key : rotorKeys) t.Key(key, Num(random.Real(0, 400), 3));
  }

  t.Section("contact_points");
  t.Line("//0  Class");
  t.Line("//1  Longitudinal Position        (feet)");
  t.Line("//2  Lateral Position             (feet)");
  t.Line("//3  Vertical Position            (feet)");
  t.Line("//4  Impact Damage Threshold      (Feet Per Minute)");
  t.Line("//5  Brake Map                    (0=None, 1=Left, 2=Right)");
  t.Line("//6  Wheel Radius                 (feet)");
  t.Line("//7  Steer Angle                  (degrees)");
  t.Line("//8  Static Compression           (feet)  (0 if rigid)");
  t.Line("//9  Max/Static Compression Ratio");
  t.Line("//10 Damping Ratio                (0=Undamped, 1=Critically Damped)");
  t.Line("//11 Extension Time               (seconds)");
  t.Line("//12 Retraction Time              (seconds)");
  t.Line("//13 Sound Type");
  t.Line("//14 Airspeed limit for retraction     (KIAS)");
  t.Line("//15 Airspeed that gear gets damage at (KIAS)");
  t.KeySpaced("static_pitch", Num(random.Real(-1, 3), 3));
  t.KeySpaced("static_cg_height", Num(random.Real(4, 18), 3));
  t.KeySpaced("gear_system_type", type.helicopter ? "3" : "1");
  t.KeySpaced("tailwheel_lock", "0");
  const int points = random.Int(10, 16);
  t.KeySpaced("max_number_of_points", std::to_string(points));
  for (int i = 0; i < points; ++i) {
    const int cls = i < 3 ? 1 : 2;
    std::string line =
        PointLine(random, cls, random.Real(-length / 2, length / 2),
                  random.Real(-type.wingSpan / 2, type.wingSpan / 2), random.Real(-15, 10));
    if (i == 0) line += " // nose gear";
    t.KeySpaced("point." + std::to_string(i), line);
  }

  t.Section("electrical");
  t.Line(
      ";BusType, MaxAmpLoad, MinVoltage       BusTypes: 0=MainBus, 1=AvionicsBus, 2=BatteryBus, "
      "3=HotBatteryBus, 4=GeneratorBus");
  const char* electricalKeys[] = {"max_battery_voltage",
                                  "generator_alternator_voltage",
                                  "max_generator_alternator_amps",
                                  "electric_always_available",
                                  "flap_motor",
                                  "gear_motor",
                                  "autopilot",
                                  "avionics_bus",
                                  "avionics",
                                  "pitot_heat",
                                  "additional_system",
                                  "marker_beacon",
                                  "gear_warning",
                                  "fuel_pump",
                                  "starter1",
                                  "starter2",
                                  "light_nav",
                                  "light_beacon",
                                  "light_landing",
                                  "light_taxi",
                                  "light_strobe",
                                  "light_panel",
                                  "light_cabin",
                                  "light_recognition",
                                  "light_wing",
                                  "light_logo",
                                  "standby_vacuum"};
  for (const char* key : electricalKeys)
    t.Key(key, std::to_string(random.Int(0, 4)) + ", " + Num(random.Real(1, 30), 1) + ", " +
                   Num(random.Real(17, 24), 1));

  const char* flapNames[] = {"flaps.0", "flaps.1"};
  for (const char* name : flapNames) {
    t.Section(name);
    t.Key("type", "1");
    t.Key("span-outboard", Num(random.Real(0.5, 0.9), 2));
    t.Key("extending-time", Num(random.Real(15, 40), 1));
    t.Key("system_type", "0");
    t.Key("damaging-speed", Num(random.Real(250, 300), 1));
    t.Key("blowout-speed", Num(random.Real(300, 350), 1));
    t.Key("lift_scalar", Num(random.Real(0.8, 1.5), 2));
    t.Key("drag_scalar", Num(random.Real(0.8, 1.5), 2));
    t.Key("pitch_scalar", Num(random.Real(0.8, 1.5), 2));
    const int positions = random.Int(5, 7);
    for (int i = 0; i < positions; ++i)
      t.Key("flaps-position." + std::to_string(i),
            Num(i * 5.0, 0) + ", " + Num(random.Real(140, 260), 0));
  }

  t.Section("lights");
  t.Line(
      "//Types: 1=beacon, 2=strobe, 3=navigation, 4=cockpit, 5=landing, 6=taxi, 7=recognition, "
      "8=wing, 9=logo, 10=cabin");
  const int lights = random.Int(10, 16);
  for (int i = 0; i < lights; ++i)
    t.KeySpaced(
        "light." + std::to_string(i),
        std::to_string(random.Int(1, 10)) + ", " + Num(random.Real(-length / 2, length / 2), 2) +
            ", " + Num(random.Real(-type.wingSpan / 2, type.wingSpan / 2), 2) + ", " +
            Num(random.Real(-8, 20), 2) + ", fx_" +
            random.Pick(std::vector<std::string>{"navred", "navgre", "navwhi", "strobe", "beacon",
                                                 "landing", "vclight", "tailflood"}) +
            (random.Chance(30) ? "_AI" : ""));

  t.Section("views");
  t.Key("eyepoint", Num(length * 0.45, 2) + ", " + Num(-random.Real(1, 2), 2) + ", " +
                        Num(random.Real(2, 8), 2));

  t.Section("exits");
  const int exits = random.Int(4, 8);
  t.Key("number_of_exits", std::to_string(exits));
  for (int i = 0; i < exits; ++i) {
    t.Key("exit_rate." + std::to_string(i), Num(random.Real(0.3, 0.5), 2));
    t.Key("exit." + std::to_string(i), Num(random.Real(0.3, 0.5), 2) + ", " +
                                           Num(random.Real(-length / 2, length / 2), 2) + ", " +
                                           Num((i % 2 ? 1 : -1) * random.Real(5, 10), 2) + ", " +
                                           Num(random.Real(0, 5), 2) + ", 0");
  }

  t.Section("autopilot");
  const char* autopilotKeys[] = {"autopilot_available",
                                 "flight_director_available",
                                 "default_vertical_speed",
                                 "autothrottle_available",
                                 "autothrottle_arming_required",
                                 "autothrottle_takeoff_ga",
                                 "autothrottle_max_rpm",
                                 "pitch_takeoff_ga",
                                 "max_pitch",
                                 "max_pitch_acceleration",
                                 "max_pitch_velocity_lo_alt",
                                 "max_pitch_velocity_hi_alt",
                                 "max_pitch_velocity_lo_alt_breakpoint",
                                 "max_pitch_velocity_hi_alt_breakpoint",
                                 "max_bank",
                                 "max_bank_acceleration",
                                 "max_bank_velocity",
                                 "max_throttle_rate",
                                 "nav_proportional_control",
                                 "nav_integrator_control",
                                 "nav_derivative_control",
                                 "nav_integrator_boundary",
                                 "nav_derivative_boundary",
                                 "gs_proportional_control",
                                 "gs_integrator_control",
                                 "gs_derivative_control",
                                 "yaw_damper_gain",
                                 "use_no_default_bank",
                                 "use_no_default_pitch",
                                 "default_bank_mode"};
  for (const char* key : autopilotKeys) t.Key(key, Num(random.Real(0, 1800), 1));

  t.Section("Radios");
  t.Line("// Radio Type=availiable, standby frequency, has glide slope");
  t.Key("Audio.1", "1");
  t.Key("Com.1", "1, 1");
  t.Key("Com.2", "1, 1");
  t.Key("Nav.1", "1, 1, 1");
  t.Key("Nav.2", "1, 1, 0");
  t.Key("Adf.1", "1");
  t.Key("Transponder.1", "1");
  t.Key("Marker.1", "1");

  t.Section("effects");
  const char* effectKeys[] = {"wake",      "water",    "dirt",        "concrete",
                              "touchdown", "contrail", "startup",     "gear_hit",
                              "tail_hit",  "nose_hit", "wingtip_hit", "engine_fire"};
  for (const char* key : effectKeys)
    t.Key(key, "fx_" + std::string(key) + (random.Chance(50) ? "_l" : "_s") + ", " +
                   std::to_string(random.Int(0, 1)));

  // The rest of an airliner's sections, each with a handful of keys.
  for (const std::string& name : kMinorSections) {
    t.Section(name);
    if (random.Chance(25))
      t.Line("; " + name + " settings from the default " + type.maker + " model");
    const int keys = random.Int(3, 8);
    for (int i = 0; i < keys; ++i)
      t.Key(random.Pick(kMinorKeys) + (i ? "." + std::to_string(i) : std::string()),
            Num(random.Real(0, 400), random.Int(0, 3)) +
                (random.Chance(20)
                     ? ", " + Num(random.Real(0, 50), 2) + ", " + Num(random.Real(0, 5), 1)
                     : ""));
  }
  return t.Str();
}

std::string LiveryIni(Random& random, const AircraftType& type, const std::string& engineName) {
  Text t;
  t.Section("vorn");
  t.Key("aircraft", type.name + " (" + engineName + ")");
  t.Key("model", random.Pick(kModelers) + ", VORN model team");
  t.Key("fde", random.Pick(kModelers) + ", flight dynamics for multiplayer");
  t.Key("repaint", random.Pick(kPainters));
  const int polymax = random.Int(8, 60) * 1000;
  t.Key("polymin", std::to_string(polymax / random.Int(8, 20)));
  t.Key("polymax", std::to_string(polymax));
  t.Key("LOD", std::to_string(random.Int(3, 6)));
  t.Key("kvb_version", std::to_string(random.Int(1, 412)));
  return t.Str();
}

std::string LiveryLiv(Random& random, const AircraftType& type, const Airline& airline,
                      const std::string& textureName, const std::string& engineName,
                      const std::string& registration) {
  Text t;
  t.Section("fltsim");
  t.Key("title", "VORN " + type.icao + " " + engineName + " " + airline.name + " " + registration);
  t.Key("sim", "VORN_" + type.icao);
  t.Key("model", engineName);
  t.Key("texture", textureName);
  t.Key("ui_type", type.name);
  t.Key("ui_variation", airline.name + " " + registration);
  t.Key("atc_airline", airline.callsign);
  t.Key("atc_id", registration);
  t.Key("atc_flight_number", std::to_string(random.Int(1, 9999)));
  t.Key("atc_parking_codes", airline.code);
  t.Key("atc_parking_types", type.helicopter ? "RAMP" : "GATE");
  t.Key("atc_heavy", type.mtow > 300000 ? "1" : "0");
  t.Key("visual_damage", "0");
  return t.Str();
}

std::string Registration(Random& random, const Airline& airline) {
  std::string reg = airline.country;
  const bool numeric = airline.country == "N" || airline.country == "JA";
  const int length = reg.back() == '-' ? 3 : (numeric ? 4 : 3);
  for (int i = 0; i < length; ++i)
    reg += numeric ? char('0' + random.Int(i ? 0 : 1, 9)) : char('A' + random.Int(0, 25));
  return reg;
}

std::string ZaroIni(const fs::path& root, bool prepar3d) {
  Text t;
  t.Section("MultiPC");
  t.Key("PCFunction", "0");
  t.Key("multiontop", "0");
  t.Key("master", "127.0.0.1");
  t.Key("port", "6810");
  for (const char* key : {"UseUI", "UseDataAccess", "UseSDK", "UseTraffic", "UseWeather", "UseFSD"})
    t.Key(key, "1");
  t.Section("SELCAL");
  t.Key("PcSpeaker", "1");
  t.Key("SoundCard", "1");
  t.Section("INSTALL");
  t.Key("AntiFlicker", "0");
  t.Key("ExternalApp", "1");
  t.Key("fsx_path", (root / "FSX").string());
  // A client installed for FSX alone leaves the key empty.
  t.Key("prepar3d_path", prepar3d ? (root / "Prepar3D").string() : std::string());
  t.Key("Path", (root / "client").string());
  for (const char* key : {"Sound", "CloseTS", "WEATHER", "WEATHERCLEAR", "WEATHERLOCK"})
    t.Key(key, "1");
  for (const char* key : {"SYNCTIME", "CONTSYNCTIME", "Debug", "ReadOffset"}) t.Key(key, "0");
  t.Section("MULTIPLAYER");
  t.Key("active", "1");
  t.Key("refresh", "20");
  t.Key("range", "40");
  t.Key("sendrate", "3");
  t.Key("rcvrate", "3");
  t.Key("limittraffic", "0");
  t.Key("limittrafficsoft", "50");
  t.Key("limittraffichard", "50");
  t.Key("chat", "1");
  t.Key("chatdelay", "0");
  t.Key("chatscroll", "1");
  t.Key("ChatTime", "20");
  t.Section("Hotkeys");
  const char* hotkeys[] = {"showhide", "tcas", "pushback", "transponder", "ident"};
  const int keys[] = {120, 119, 118, 122, 123};
  for (int i = 0; i < 5; ++i) {
    t.Key(std::string(hotkeys[i]) + ".enabled", "1");
    t.Key(std::string(hotkeys[i]) + ".modifier", "2");
    t.Key(std::string(hotkeys[i]) + ".key", std::to_string(keys[i]));
  }
  return t.Str();
}

std::string PilotCfg() {
  Text t;
  t.Section("PILOT");
  t.Key("Callsign", "VRN1234");
  t.Key("PilotName", "Bench Pilot");
  t.Key("Base", "EDDF");
  t.Key("VID", "123456");
  t.Key("Password", "21353a2e23");
  t.Key("hideadmin", "0");
  t.Key("remember", "1");
  t.Section("SERVER");
  t.Key("host", "fsd.vorn.net");
  t.Key("port", "6809");
  t.Key("voice", "1");
  t.Section("TYPE");
  t.Key("followme", "0");
  t.Section("TEMPLATE");
  t.Key("path", "templates");
  t.Key("template", "velandrit");
  t.Section("GENERAL");
  t.Key("ATCORDER", "0");
  return t.Str();
}

/// A simulator configuration file as a long-used installation has it, with the
/// default aircraft folders already registered.
std::string SimulatorConfig(Random& random, bool prepar3d) {
  Text t;
  t.Section("Main");
  t.Key("User Objects", "Airplane, Helicopter");
  t.Key("SimObjectPaths.0", "SimObjects\\Airplanes");
  t.Key("SimObjectPaths.1", "SimObjects\\Rotorcraft");
  t.Key("SimObjectPaths.2", "SimObjects\\GroundVehicles");
  t.Key("SimObjectPaths.3", "SimObjects\\Boats");
  t.Key("SimObjectPaths.4", "SimObjects\\Animals");
  t.Key("SimObjectPaths.5", "SimObjects\\Misc");
  if (prepar3d) t.Key("SimObjectPaths.6", "SimObjects\\Avatars");
  t.Key("Location", "0,0,1920,1080,\\\\.\\DISPLAY1");
  t.Key("Maximized", "1");
  t.Key("ProcSpeed", std::to_string(random.Int(4000, 9000)));
  t.Key("PerfBucket", "7");
  t.Key("HideMenuNormal", "1");
  t.Key("HideMenuFullscreen", "1");
  t.Key("DisablePreload", "1");
  t.Key("FIBER_FRAME_TIME_FRACTION", "0.33");

  t.Section("SOUND");
  for (const char* key :
       {"AMBIENT_UI_MUTE", "PRIMARY_DEVICE", "VOICE_DEVICE", "SOUND_LOD", "SOUND_QUALITY", "ENGINE",
        "COCKPIT", "ENVIRONMENT", "UI", "NAVIGATION", "SOUND"})
    t.Key(key, std::to_string(random.Int(0, 100)));

  t.Section("SCENERY");
  t.Key("LENSFLARE", "1");
  t.Key("DAWN_DUSK_SMOOTHING", "1");
  t.Key("IMAGE_COMPLEXITY", "4");
  t.Key("SHOW_MISSION_CONTENT", "0");
  t.Key("MAX_ASYNC_BATCHING_JOBS", "2");

  t.Section("GRAPHICS");
  for (const char* key :
       {"SHADER_CACHE_PRIMED", "TEXTURE_MAX_LOAD", "NUM_LIGHTS", "AIRCRAFT_SHADOWS",
        "AIRCRAFT_REFLECTIONS", "COCKPIT_HIGH_LOD", "LANDING_LIGHTS", "DEFAULT_LANDING_LIGHTS",
        "EFFECTS_QUALITY", "GROUND_SHADOWS", "TEXTURE_QUALITY", "SEE_SELF", "HIGHMEMFIX", "D3D10",
        "Text_Scroll", "ForceFullScreenVSync", "ForceWindowedVSync",
        "ForceFullscreenTripleBuffering"})
    t.Key(key, std::to_string(random.Int(0, 4096)));

  t.Section("DISPLAY.Device.NVIDIA GeForce GTX 1080.0");
  t.Key("Mode", "1920x1080x32");
  t.Key("Anisotropic", "1");
  t.Key("AntiAlias", "1");

  t.Section("TERRAIN");
  for (const char* key :
       {"LOD_RADIUS", "MESH_COMPLEXITY", "MESH_RESOLUTION", "TEXTURE_RESOLUTION", "AUTOGEN_DENSITY",
        "DETAIL_TEXTURE", "WATER_EFFECTS", "TERRAIN_MAX_AUTOGEN_TREES_PER_CELL",
        "TERRAIN_MAX_AUTOGEN_BUILDINGS_PER_CELL", "TERRAIN_MAX_VERTEX_LEVEL",
        "TERRAIN_EXTENDED_TEXTURES", "TERRAIN_EXTENDED_LEVELS"})
    t.Key(key, std::to_string(random.Int(0, 6000)));

  for (const char* name : {"PANELS",
                           "WEATHER",
                           "CONTROLS",
                           "REALISM",
                           "TrafficManager",
                           "DynamicHeadMovement",
                           "SlewTurbo",
                           "USERINTERFACE",
                           "STARTUP",
                           "VirtualCopilot",
                           "AContain",
                           "BufferPools",
                           "JOBSCHEDULER",
                           "ATC",
                           "MULTIPLAYER",
                           "INTERNATIONAL",
                           "PointOfInterestSystem",
                           "TextInfo.1",
                           "TextInfo.3",
                           "CameraSystem",
                           "DISPLAY",
                           "FACILITIES",
                           "SIM",
                           "VIEWS",
                           "Misc",
                           "Weather_Radar"}) {
    t.Section(name);
    const int keys = random.Int(3, 9);
    for (int i = 0; i < keys; ++i)
      t.Key(std::string(name).substr(0, 4) + "_" + random.Pick(kMinorKeys) + std::to_string(i),
            Num(random.Real(0, 100), random.Int(0, 2)));
  }

  t.Section("Trusted");
  const int trusted = random.Int(40, 60);
  for (int i = 0; i < trusted; ++i) {
    std::string name = prepar3d ? "C:\\Program Files\\Lockheed Martin\\Prepar3D v4\\" : "C:\\FSX\\";
    name += random.Pick(
        std::vector<std::string>{"Modules\\", "Gauges\\", "SimObjects\\Airplanes\\Addon\\panel\\"});
    name += "addon" + std::to_string(i) + ".dll";
    std::string hash;
    for (int j = 0; j < 20; ++j) hash += char('a' + random.Int(0, 25));
    t.Key(name + "." + hash, "1");
  }
  return t.Str();
}

const char kStampKey[] = "\r\nkvb_bench_stamp=";
constexpr int kStampDigits = 8;

/// Counts up the stamp of one vorn.cfg; false when the file cannot be changed.
bool StampFile(const fs::path& path) {
  std::FILE* file = std::fopen(path.string().c_str(), "r+b");
  if (!file) return false;
  std::string text;
  char chunk[65536];
  for (size_t count; (count = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
    text.append(chunk, count);
  bool ok = !std::ferror(file);
  char digits[kStampDigits + 1];
  const size_t at = text.find(kStampKey);
  if (ok && at != std::string::npos) {
    // Rewrites the digits in place: the fastest change that still changes the file.
    const size_t value = at + sizeof kStampKey - 1;
    const unsigned long next = (std::strtoul(text.c_str() + value, nullptr, 10) + 1) % 100000000ul;
    std::snprintf(digits, sizeof digits, "%0*lu", kStampDigits, next);
    ok = std::fseek(file, long(value), SEEK_SET) == 0 &&
         std::fwrite(digits, 1, kStampDigits, file) == kStampDigits;
  } else if (ok) {
    const std::string header = "[General]\r\n";
    const size_t section = text.find(header);
    if (section == std::string::npos) {
      std::fclose(file);
      return false;
    }
    std::snprintf(digits, sizeof digits, "%0*lu", kStampDigits, 1ul);
    text.insert(section + header.size(), std::string(kStampKey + 2) + digits + "\r\n");
    ok = std::fseek(file, 0, SEEK_SET) == 0 &&
         std::fwrite(text.data(), 1, text.size(), file) == text.size();
  }
  return std::fclose(file) == 0 && ok;
}

int Stamp(const fs::path& root) {
  long stamped = 0;
  for (const char* simulator : {"FSX", "Prepar3D"}) {
    const fs::path library = root / simulator / "SimObjects" / "VORN_KVB";
    std::error_code error;
    for (fs::directory_iterator it(library, error), end; !error && it != end; it.increment(error)) {
      if (it->path().filename().string().compare(0, 5, "VORN_") != 0) continue;
      if (!StampFile(it->path() / "vorn.cfg")) {
        std::cerr << "kvb_genlib: cannot stamp " << (it->path() / "vorn.cfg") << "\n";
        return 1;
      }
      ++stamped;
    }
  }
  if (stamped == 0) {
    std::cerr << "kvb_genlib: no package to stamp under " << root << "\n";
    return 1;
  }
  return 0;
}

int Usage() {
  std::cerr << "usage: kvb_genlib --root DIR --packages N --liveries M [--seed S]"
               " [--simulators fsx|both]\n"
               "       kvb_genlib --root DIR --stamp\n";
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  fs::path root;
  long packages = -1;
  long liveries = -1;
  uint64_t seed = 20261206;
  bool stamp = false;
  bool prepar3d = true;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--stamp")
      stamp = true;
    else if (option == "--root" && hasValue)
      root = argv[++i];
    else if (option == "--packages" && hasValue)
      packages = std::strtol(argv[++i], nullptr, 10);
    else if (option == "--liveries" && hasValue)
      liveries = std::strtol(argv[++i], nullptr, 10);
    else if (option == "--seed" && hasValue)
      seed = std::strtoull(argv[++i], nullptr, 10);
    else if (option == "--simulators" && hasValue &&
             (std::string(argv[i + 1]) == "fsx" || std::string(argv[i + 1]) == "both"))
      prepar3d = std::string(argv[++i]) == "both";
    else
      return Usage();
  }
  if (stamp) return root.empty() ? Usage() : Stamp(root);
  if (root.empty() || packages < 0 || liveries < 0 || liveries > long(kAirlines.size()) * 9)
    return Usage();
  root = fs::absolute(root);

  std::error_code error;
  fs::remove_all(root, error);
  const fs::path fsxLibrary = root / "FSX" / "SimObjects" / "VORN_KVB";
  const fs::path p3dLibrary = root / "Prepar3D" / "SimObjects" / "VORN_KVB";
  const fs::path appData = root / "appdata";
  std::vector<fs::path> libraries = {fsxLibrary};
  if (prepar3d) libraries.push_back(p3dLibrary);
  std::vector<fs::path> folders = {fsxLibrary,
                                   root / "client" / "data",
                                   appData / "VORN" / "Zaro" / "config",
                                   appData / "Microsoft" / "FSX",
                                   root / "pristine",
                                   root / "home"};
  if (prepar3d) {
    folders.push_back(p3dLibrary);
    folders.push_back(appData / "Lockheed Martin" / "Prepar3D");
  }
  for (const fs::path& folder : folders) fs::create_directories(folder);

  Random settingsRandom(seed ^ 0x5E771465ull);
  Write(appData / "VORN" / "Zaro" / "config" / "zaro.ini", ZaroIni(root, prepar3d));
  Write(appData / "VORN" / "Zaro" / "config" / "pilot.cfg", PilotCfg());
  // Both made in either case, so that fsx.cfg is the same with or without Prepar3D.
  const std::string fsxCfg = SimulatorConfig(settingsRandom, false);
  const std::string p3dCfg = SimulatorConfig(settingsRandom, true);
  Write(appData / "Microsoft" / "FSX" / "fsx.cfg", fsxCfg);
  Write(root / "pristine" / "fsx.cfg", fsxCfg);
  if (prepar3d) {
    Write(appData / "Lockheed Martin" / "Prepar3D" / "Prepar3D.CFG", p3dCfg);
    Write(root / "pristine" / "Prepar3D.CFG", p3dCfg);
  }

  size_t baseBytes = 0;
  for (long p = 0; p < packages; ++p) {
    Random random(seed * 1000003ull + uint64_t(p));
    const bool helicopter = p % 10 == 7;
    const AircraftType& type = helicopter ? random.Pick(kHelicopters) : random.Pick(kAirliners);
    char name[64];
    std::snprintf(name, sizeof name, "VORN_%s_%s_%05ld", type.icao.c_str(),
                  type.engineVariant.c_str(), p);
    const std::string base = BaseConfig(random, type, int(p));
    baseBytes += base.size();

    // Distinct airlines per package; a second livery of one airline gets a number.
    std::vector<std::pair<std::string, std::string>> files;  // folder name, vorn.ini + vorn.liv
    std::vector<int> uses(kAirlines.size(), 0);
    const size_t first = random.Next() % kAirlines.size();
    for (long l = 0; l < liveries; ++l) {
      const size_t index = (first + size_t(l) * 7) % kAirlines.size();
      const Airline& airline = kAirlines[index];
      const int use = uses[index]++;
      const std::string textureName =
          airline.code + (use ? std::to_string(use + 1) : std::string());
      const std::string engineName = type.engineVariant + std::to_string(random.Int(1, 3));
      files.push_back({"texture." + textureName, LiveryIni(random, type, engineName)});
      files.push_back({"", LiveryLiv(random, type, airline, textureName, engineName,
                                     Registration(random, airline))});
    }
    for (const fs::path& library : libraries) {
      const fs::path package = library / name;
      fs::create_directory(package);
      Write(package / "vorn.cfg", base);
      for (size_t i = 0; i < files.size(); i += 2) {
        const fs::path livery = package / files[i].first;
        fs::create_directory(livery);
        Write(livery / "vorn.ini", files[i].second);
        Write(livery / "vorn.liv", files[i + 1].second);
      }
    }
  }
  std::cout << "kvb_genlib: " << packages << " packages of " << liveries << " liveries under "
            << root.string() << (prepar3d ? ", FSX and Prepar3D" : ", FSX only") << " (vorn.cfg "
            << (packages ? baseBytes / size_t(packages) : 0) << " bytes on average)\n";
  return 0;
}
