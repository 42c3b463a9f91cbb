#pragma once

// Square-law field-effect transistor with channel-length modulation.
//
// With m = VD / V_DS_Early + 1.0 and Vov = VG - VTransition, every operation is 0.0 when
// 0.0 >= VD or VTransition >= VG; otherwise it takes the triode formula when Vov >= VD and the
// saturation formula in every other case (a NaN comparison included):
//
//   drain_current       triode  m * (K * ((VD * (Vov * 2.0)) - (VD * VD)))
//                       sat.    m * (K * (Vov * Vov))
//   transconductance    triode  m * (VD * (K * 2.0))
//                       sat.    m * ((K * 2.0) * Vov)
//   output_conductance  triode  K * ((((VD * (Vov * 2.0)) - (VD * VD)) / V_DS_Early)
//                                    + m * ((Vov - VD) * 2.0))
//                       sat.    (K * (Vov * Vov)) / V_DS_Early
//
// Every operation is one rounded binary64 operation in exactly this grouping; regrouping a
// product changes the last bit. Examples with the defaults (K 0.0008, VTransition 2, V_DS_Early
// 100): drain_current(0.1, 3.0) = 0.000152152, drain_current(2.0, 3.0) = 0.0008160000000000001.

namespace mosfet::model {

// The model parameter block: filled once by the run driver, only read afterwards.
struct ModelParameters {
    double K_conductance_parameter = 0.0008;  // A/V^2
    double VTransition = 2.0;                 // V
    double V_DS_Early = 100.0;                // V
};

// Drain current in amperes at drain voltage VD and gate voltage VG (volts).
double drain_current(const ModelParameters& p, double VD, double VG);

// dID/dVG in siemens.
double transconductance(const ModelParameters& p, double VD, double VG);

// dID/dVD in siemens.
double output_conductance(const ModelParameters& p, double VD, double VG);

}  // namespace mosfet::model
