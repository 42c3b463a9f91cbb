#include "model/device_model.hpp"

namespace mosfet::model {
namespace {

// The three operations share one skeleton: m is formed on every call, before any test, then
// the two zero regions, then the region test (VD == Vov is triode; a NaN goes to saturation).
enum class Region { zero, triode, saturation };

struct Operating {
    Region region;
    double m;
    double Vov;
};

Operating operating_point(const ModelParameters& p, double VD, double VG) {
    const double m = VD / p.V_DS_Early + 1.0;
    if (0.0 >= VD || p.VTransition >= VG) {
        return {Region::zero, m, 0.0};
    }
    const double Vov = VG - p.VTransition;
    return {Vov >= VD ? Region::triode : Region::saturation, m, Vov};
}

}  // namespace

double drain_current(const ModelParameters& p, double VD, double VG) {
    const auto [region, m, Vov] = operating_point(p, VD, VG);
    const double K = p.K_conductance_parameter;
    switch (region) {
        case Region::zero:
            return 0.0;
        case Region::triode:
            return m * (K * ((VD * (Vov * 2.0)) - (VD * VD)));
        case Region::saturation:
            break;
    }
    return m * (K * (Vov * Vov));
}

double transconductance(const ModelParameters& p, double VD, double VG) {
    const auto [region, m, Vov] = operating_point(p, VD, VG);
    const double K = p.K_conductance_parameter;
    switch (region) {
        case Region::zero:
            return 0.0;
        case Region::triode:
            return m * (VD * (K * 2.0));
        case Region::saturation:
            break;
    }
    return m * ((K * 2.0) * Vov);
}

double output_conductance(const ModelParameters& p, double VD, double VG) {
    const auto [region, m, Vov] = operating_point(p, VD, VG);
    const double K = p.K_conductance_parameter;
    switch (region) {
        case Region::zero:
            return 0.0;
        case Region::triode:
            return K * ((((VD * (Vov * 2.0)) - (VD * VD)) / p.V_DS_Early) + m * ((Vov - VD) * 2.0));
        case Region::saturation:
            break;
    }
    return (K * (Vov * Vov)) / p.V_DS_Early;
}

}  // namespace mosfet::model
