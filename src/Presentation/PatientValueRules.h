#pragma once

#include <QString>

// What the detail form accepts as a patient's numbers and mobile number:
// values a patient can have. An empty field means "not given", stored as 0.
namespace PatientValueRules {

struct NumberRange
{
    double min;
    double max;
    bool whole;
};

inline constexpr NumberRange Height{20.0, 250.0, false}; // cm
inline constexpr NumberRange Weight{0.2, 400.0, false};  // kg
inline constexpr NumberRange Age{0.0, 150.0, true};      // years

// True for empty text (value 0) and for a number within range, bounds
// included; a decimal comma counts as a point. value is set only when true.
bool ReadNumber(const QString &text, const NumberRange &range, double &value);

// Empty, or digits with an optional leading "+" and spaces or dashes between.
bool IsMobileNumber(const QString &text);

// How a number is shown: empty when it was never given (0), otherwise the
// shortest form with up to six significant digits (170, 65.5).
QString NumberText(double value);

} // namespace PatientValueRules
