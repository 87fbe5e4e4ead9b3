/* The heat-bath update of one spin: given its local field, the new spin is
   drawn from exp(s . f) on the sphere, independently of the old one. */
#ifndef HEAT_BATH_UPDATE_H
#define HEAT_BATH_UPDATE_H

#include <math.h>

#include "lattice.h"
#include "y_draw.h"

#ifdef __cplusplus
extern "C" {
#endif

/* With f = beta * (sum of the neighbours) and h = |f|, the weight
   exp(s . f) = exp(h cos theta) depends on theta, the angle to f, alone:
   y = cos theta is drawn from exp(h y) on [-1, 1] (the sphere's measure
   sin theta dtheta is dy), the azimuth is uniform. Returns the spin with
   cos theta = y to f and azimuth 2 pi u_phi in a frame (e1, e2) around it.
   For h below Y_UNIFORM_BELOW the direction of f is lost to rounding but
   the weight is flat: any axis will do, and z is taken. */
static inline vec3 spin_around(vec3 f, double h, double y, double u_phi) {
  const double two_pi = 6.283185307179586;
  /* (1 - y)(1 + y) keeps its digits next to y = +-1, where 1 - y*y does not. */
  const double r = sqrt((1.0 - y) * (1.0 + y));
  const double phi = two_pi * u_phi;
  const double c = r * cos(phi);
  const double s = r * sin(phi);
  vec3 n, e1, e2, out;
  double sign, a, b;
  if (h < Y_UNIFORM_BELOW) {
    n.x = 0.0;
    n.y = 0.0;
    n.z = 1.0;
  } else {
    n.x = f.x / h;
    n.y = f.y / h;
    n.z = f.z / h;
  }
  /* An orthonormal frame without a branch on the direction of n (Duff et
     al., 2017): 1/(sign + n.z) never divides by less than 1. */
  sign = copysign(1.0, n.z);
  a = -1.0 / (sign + n.z);
  b = n.x * n.y * a;
  e1.x = 1.0 + sign * n.x * n.x * a;
  e1.y = sign * b;
  e1.z = -sign * n.x;
  e2.x = b;
  e2.y = sign + n.y * n.y * a;
  e2.z = -n.y;
  out.x = y * n.x + c * e1.x + s * e2.x;
  out.y = y * n.y + c * e1.y + s * e2.y;
  out.z = y * n.z + c * e1.z + s * e2.z;
  return out;
}

#ifdef __cplusplus
}
#endif

#endif
