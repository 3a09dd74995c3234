// Every sine and cosine of the intro turns degrees into radians with 3.14 in
// place of π: its tables and curves are those of this constant.
#pragma once

constexpr double intro_pi = 3.14;
