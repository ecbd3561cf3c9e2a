#!/usr/bin/env python3
"""Reference values for sun_sky_test.cpp, in double precision, straight from the published
formulas and tables of Preetham, Shirley and Smits (1999). Run it to reproduce the numbers the
tests hold; it shares no code with the renderer."""
import math

S_WL = list(range(380, 751, 10))
S = [16559, 16233.7, 21127.5, 25888.2, 25829.1, 24232.3, 26760.5, 29658.3, 30545.4, 30057.5,
     30663.7, 28830.4, 28712.1, 27825, 27100.6, 27233.6, 26361.3, 25503.8, 25060.2, 25311.6,
     25355.9, 25134.2, 24631.5, 24173.2, 23685.3, 23212.1, 22827.7, 22339.8, 21970.2, 21526.7,
     21097.9, 20728.3, 20240.4, 19870.8, 19427.2, 19072.4, 18628.9, 18259.2]
KO = [(300, 10), (305, 4.8), (310, 2.7), (315, 1.35), (320, 0.8), (325, 0.38), (330, 0.16),
      (335, 0.075), (340, 0.04), (345, 0.019), (350, 0.007), (355, 0), (445, 0.003), (450, 0.003),
      (455, 0.004), (460, 0.006), (465, 0.008), (470, 0.009), (475, 0.012), (480, 0.014),
      (485, 0.017), (490, 0.021), (495, 0.025), (500, 0.03), (505, 0.035), (510, 0.04),
      (515, 0.045), (520, 0.048), (525, 0.057), (530, 0.063), (535, 0.07), (540, 0.075),
      (545, 0.08), (550, 0.085), (555, 0.095), (560, 0.103), (565, 0.11), (570, 0.12),
      (575, 0.122), (580, 0.12), (585, 0.118), (590, 0.115), (595, 0.12), (600, 0.125),
      (605, 0.13), (610, 0.12), (620, 0.105), (630, 0.09), (640, 0.079), (650, 0.067),
      (660, 0.057), (670, 0.048), (680, 0.036), (690, 0.028), (700, 0.023), (710, 0.018),
      (720, 0.014), (730, 0.011), (740, 0.01), (750, 0.009), (760, 0.007), (770, 0.004),
      (780, 0), (790, 0)]
KG = [(759, 0), (760, 3.0), (770, 0.21), (771, 0)]
KW = [(689, 0), (690, 0.016), (700, 0.024), (710, 0.0125), (720, 1.0), (730, 0.87), (740, 0.061),
      (750, 0.001), (760, 0.00001), (770, 0.00001), (780, 0.0006), (790, 0.0175), (800, 0.036)]


def interpolate(points, lam):
    """Piecewise linear through points, 0 outside."""
    if lam < points[0][0] or lam > points[-1][0]:
        return 0.0
    for (l0, v0), (l1, v1) in zip(points, points[1:]):
        if l0 <= lam <= l1:
            return v0 + (v1 - v0) * (lam - l0) / (l1 - l0)
    return points[-1][1]


def resampled(pairs):
    """The pairs on a 5 nm grid from the first wavelength, as points for interpolation."""
    first, last = pairs[0][0], pairs[-1][0]
    m = math.ceil((last - first) * 0.2)
    return [(first + 5 * j, interpolate(pairs, first + 5 * j)) for j in range(m + 1)]


OZONE, GAS, WATER = resampled(KO), resampled(KG), resampled(KW)
SOLAR = list(zip(S_WL, S))


def mass(theta):
    return 1.0 / (math.cos(theta) + 0.00094 * (1.6386 - theta) ** -1.253)


def transmittance(lam, theta, t):
    m = mass(theta)
    beta = 0.04608366 * t - 0.04586026
    mu = lam / 1000.0
    kg, kw = interpolate(GAS, lam), interpolate(WATER, lam)
    return (math.exp(-m * 0.008735 * mu ** -4.08), math.exp(-m * beta * mu ** -1.3),
            math.exp(-m * interpolate(OZONE, lam) * 0.35),
            math.exp(-1.41 * kg * m / (1 + 118.93 * kg * m) ** 0.45),
            math.exp(-0.477 * kw * m / (1 + 40.14 * kw * m) ** 0.45))


def spectrum(lam, theta, t):
    """The scaled sun spectrum read at lam (on its 5 nm grid)."""
    return 0.0005 * interpolate(SOLAR, lam) * math.prod(transmittance(lam, theta, t))


def rgb(x, y, z):
    return (3.241 * x - 1.5374 * y - 0.4986 * z, -0.9692 * x + 1.876 * y + 0.0416 * z,
            0.0556 * x - 0.204 * y + 1.057 * z)


PEREZ = {  # (slope, offset) per coefficient A..E
    'Y': [(0.1787, -1.463), (-0.3554, 0.4275), (-0.0227, 5.3251), (0.1206, -2.5771),
          (-0.067, 0.3703)],
    'x': [(-0.0193, -0.2592), (-0.0665, 0.0008), (-0.0004, 0.2125), (-0.0641, -0.8989),
          (-0.0033, 0.0452)],
    'y': [(-0.0167, -0.2608), (-0.095, 0.0092), (-0.0079, 0.2102), (-0.0441, -1.6537),
          (-0.0109, 0.0529)],
}


def perez(c, theta, gamma):
    a, b, cc, d, e = c
    return (1 + a * math.exp(b / math.cos(theta))) * (1 + cc * math.exp(d * gamma)
                                                       + e * math.cos(gamma) ** 2)


def zenith(t, ts):
    chi = (4 / 9 - t / 120) * (math.pi - 2 * ts)
    yz = 0.06 * ((4.0453 * t - 4.971) * math.tan(chi) - 0.2155 * t + 2.4192)
    xz = (t * t * (0.00166 * ts ** 3 - 0.00375 * ts ** 2 + 0.00209 * ts)
          + t * (-0.02903 * ts ** 3 + 0.06377 * ts ** 2 - 0.03202 * ts + 0.00394)
          + (0.11693 * ts ** 3 - 0.21196 * ts ** 2 + 0.06052 * ts + 0.25886))
    yc = (t * t * (0.00275 * ts ** 3 - 0.0061 * ts ** 2 + 0.00317 * ts)
          + t * (-0.04214 * ts ** 3 + 0.0897 * ts ** 2 - 0.04153 * ts + 0.00516)
          + (0.15346 * ts ** 3 - 0.26756 * ts ** 2 + 0.0667 * ts + 0.26688))
    return yz, xz, yc


def sky(t, ts, ps, theta, phi):
    """RGB sky radiance (before the gain) with the sun at zenith angle ts and azimuth ps."""
    yz, xz, yc = zenith(t, ts)
    coef = {k: [s * t + o for s, o in v] for k, v in PEREZ.items()}
    cos_gamma = math.cos(ps - phi) * math.sin(ts) * math.sin(theta) + math.cos(theta) * math.cos(ts)
    gamma = math.acos(max(-1.0, min(1.0, cos_gamma)))
    tc = min(theta, 1.5697963)
    lum = yz * perez(coef['Y'], tc, gamma) / perez(coef['Y'], 0, ts)
    x = xz * perez(coef['x'], tc, gamma) / perez(coef['x'], 0, ts)
    y = yc * perez(coef['y'], tc, gamma) / perez(coef['y'], 0, ts)
    return rgb(x * lum / y, lum, (1 - x - y) * lum / y)


def show(label, values):
    print(label, ", ".join(f"{v:.7g}" for v in values))


if __name__ == '__main__':
    for theta, t in [(0.0, 2.0), (1.0, 3.0), (1.45, 6.0)]:
        print(f"theta {theta} T {t}: mass {mass(theta):.8g}")
        for lam in [380, 450, 600, 720, 760]:
            show(f"  tau {lam}", transmittance(lam, theta, t))
        show("  L(380, 450, 600, 720, 745)", [spectrum(l, theta, t) for l in (380, 450, 600, 720, 745)])
        grid = [350 + 5 * i for i in range(91)]
        show("  sum of L, optical depths", [sum(spectrum(l, theta, t) for l in grid)] +
             [sum(-math.log(transmittance(l, theta, t)[k]) for l in grid) for k in range(5)])
    for t, ts in [(2.0, 0.3), (4.0, 0.9), (8.0, 1.3), (3.0, 1.5)]:
        yz, xz, yc = zenith(t, ts)
        coef = {k: [s * t + o for s, o in v] for k, v in PEREZ.items()}
        show(f"zenith T {t} ts {ts}: fields", (yz / perez(coef['Y'], 0, ts),
                                               xz / perez(coef['x'], 0, ts),
                                               yc / perez(coef['y'], 0, ts)))
        show("  rgb", rgb(xz * yz / yc, yz, (1 - xz - yc) * yz / yc))
    r = 100 * 0.004649064
    print("solid angle of a sun 100 times the real one", 2 * math.pi * (1 - math.sqrt(1 - r * r)))
    for t, ts, ps, theta, phi in [(2.5, 0.6, 1.0, 1.2, 2.5), (6.0, 1.1, 4.0, 0.4, 4.3),
                                  (3.0, 0.9, 0.0, 1.55, 3.1)]:
        show(f"sky T {t} ts {ts} ps {ps} at ({theta}, {phi})", sky(t, ts, ps, theta, phi))
