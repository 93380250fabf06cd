#!/usr/bin/env python3
"""Writes the drive simulator's sample files: drive-dump.mmi and params.jxf.

The dump is what a drive lists when asked for its menu tree; the parameter file is the
same drive's parameter block as Intel HEX data records. Both are plain ASCII with CR LF
line ends, and never contain the characters the line uses for control (17, 19, 26).
Run it from anywhere; it writes next to itself. The output is the same on every run.
"""

import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
CRLF = "\r\n"
FORBIDDEN = {17, 19, 26}

# (menu title, [(name, unit, low, high, decimals, access)])
MENUS = [
    ("SPEED REFERENCE", [
        ("Reference selector", "", 0, 5, 0, "RW"), ("Preset reference 1", "rpm", -3000, 3000, 1, "RW"),
        ("Preset reference 2", "rpm", -3000, 3000, 1, "RW"), ("Preset reference 3", "rpm", -3000, 3000, 1, "RW"),
        ("Preset reference 4", "rpm", -3000, 3000, 1, "RW"), ("Jog reference", "rpm", 0, 400, 1, "RW"),
        ("Maximum reference clamp", "rpm", 0, 6000, 1, "RW"), ("Minimum reference clamp", "rpm", 0, 3000, 1, "RW"),
        ("Bipolar reference enable", "", 0, 1, 0, "RW"), ("Skip speed 1", "rpm", 0, 6000, 0, "RW"),
        ("Skip band 1", "rpm", 0, 250, 0, "RW"), ("Skip speed 2", "rpm", 0, 6000, 0, "RW"),
        ("Skip band 2", "rpm", 0, 250, 0, "RW"), ("Reference in rejection zone", "", 0, 1, 0, "RO"),
        ("Final reference", "rpm", -6000, 6000, 1, "RO"),
    ]),
    ("RAMPS", [
        ("Acceleration rate 1", "s/1000rpm", 0, 3200, 3, "RW"), ("Acceleration rate 2", "s/1000rpm", 0, 3200, 3, "RW"),
        ("Deceleration rate 1", "s/1000rpm", 0, 3200, 3, "RW"), ("Deceleration rate 2", "s/1000rpm", 0, 3200, 3, "RW"),
        ("Ramp selector", "", 0, 9, 0, "RW"), ("Jog acceleration", "s/1000rpm", 0, 3200, 3, "RW"),
        ("Jog deceleration", "s/1000rpm", 0, 3200, 3, "RW"), ("Ramp mode", "", 0, 2, 0, "RW"),
        ("S-ramp enable", "", 0, 1, 0, "RW"), ("S-ramp acceleration limit", "s2/1000rpm", 0, 300, 3, "RW"),
        ("Ramp hold", "", 0, 1, 0, "RW"), ("Ramp output", "rpm", -6000, 6000, 1, "RO"),
    ]),
    ("SPEED FEEDBACK", [
        ("Encoder lines per revolution", "", 1, 16384, 0, "RW"), ("Encoder supply", "V", 5, 15, 0, "RW"),
        ("Encoder type", "", 0, 12, 0, "RW"), ("Feedback filter", "ms", 0, 16, 0, "RW"),
        ("Encoder termination disable", "", 0, 1, 0, "RW"), ("Motor speed", "rpm", -6000, 6000, 1, "RO"),
        ("Revolution counter", "", 0, 65535, 0, "RO"), ("Position within revolution", "1/65536", 0, 65535, 0, "RO"),
        ("Feedback loss detection", "", 0, 1, 0, "RW"), ("Drive encoder phase angle", "deg", 0, 359, 1, "RW"),
    ]),
    ("CURRENT CONTROL", [
        ("Current limit motoring", "%", 0, 300, 1, "RW"), ("Current limit regenerating", "%", 0, 300, 1, "RW"),
        ("Symmetrical current limit", "%", 0, 300, 1, "RW"), ("Torque reference", "%", -300, 300, 1, "RW"),
        ("Torque offset", "%", -300, 300, 1, "RW"), ("Current loop Kp", "", 0, 30000, 0, "RW"),
        ("Current loop Ki", "", 0, 30000, 0, "RW"), ("Current demand filter", "ms", 0, 25, 1, "RW"),
        ("Torque mode selector", "", 0, 4, 0, "RW"), ("Active current", "A", -400, 400, 2, "RO"),
        ("Magnetising current", "A", -400, 400, 2, "RO"), ("Current magnitude", "A", 0, 400, 2, "RO"),
        ("Overload accumulator", "%", 0, 100, 1, "RO"), ("Thermal time constant", "s", 0, 3000, 1, "RW"),
    ]),
    ("MOTOR", [
        ("Rated current", "A", 0, 400, 2, "RW"), ("Rated speed", "rpm", 0, 6000, 0, "RW"),
        ("Rated voltage", "V", 0, 690, 0, "RW"), ("Rated power factor", "", 0, 1000, 3, "RW"),
        ("Number of motor poles", "", 2, 32, 0, "RW"), ("Rated frequency", "Hz", 0, 5500, 1, "RW"),
        ("Stator resistance", "ohm", 0, 65000, 3, "RW"), ("Transient inductance", "mH", 0, 5000, 3, "RW"),
        ("Stator inductance", "mH", 0, 50000, 2, "RW"), ("Autotune", "", 0, 3, 0, "RW"),
        ("Voltage mode", "", 0, 3, 0, "RW"), ("Low frequency voltage boost", "%", 0, 250, 1, "RW"),
        ("Dynamic V/F select", "", 0, 1, 0, "RW"), ("Motor full load slip", "rpm", 0, 3000, 2, "RW"),
        ("Switching frequency", "kHz", 3, 16, 0, "RW"), ("Output voltage", "V", 0, 690, 0, "RO"),
        ("Output power", "kW", -500, 500, 2, "RO"),
    ]),
    ("SEQUENCER", [
        ("Stop mode", "", 0, 4, 0, "RW"), ("Mains loss mode", "", 0, 2, 0, "RW"),
        ("Start from stopped", "", 0, 1, 0, "RW"), ("Catch a spinning motor", "", 0, 3, 0, "RW"),
        ("Injection braking level", "%", 0, 150, 1, "RW"), ("Injection braking time", "s", 0, 250, 1, "RW"),
        ("Hold zero speed", "", 0, 1, 0, "RW"), ("Sequencing mode", "", 0, 4, 0, "RW"),
        ("Drive enable", "", 0, 1, 0, "RW"), ("Run forward", "", 0, 1, 0, "RW"),
        ("Jog forward", "", 0, 1, 0, "RW"), ("Run reverse", "", 0, 1, 0, "RW"),
        ("Forward/reverse", "", 0, 1, 0, "RW"), ("Run", "", 0, 1, 0, "RW"),
        ("Not stop", "", 0, 1, 0, "RW"), ("Power-up time", "h", 0, 65535, 0, "RO"),
        ("Run time", "h", 0, 65535, 0, "RO"),
    ]),
    ("ANALOG INPUTS AND OUTPUTS", [
        ("Analog input 1 mode", "", 0, 6, 0, "RW"), ("Analog input 1", "%", -100, 100, 1, "RO"),
        ("Analog input 1 offset", "%", -100, 100, 2, "RW"), ("Analog input 1 scaling", "", 0, 4000, 3, "RW"),
        ("Analog input 1 destination", "", 0, 2199, 2, "RW"), ("Analog input 2 mode", "", 0, 6, 0, "RW"),
        ("Analog input 2", "%", -100, 100, 1, "RO"), ("Analog input 2 scaling", "", 0, 4000, 3, "RW"),
        ("Analog input 2 destination", "", 0, 2199, 2, "RW"), ("Analog output 1 source", "", 0, 2199, 2, "RW"),
        ("Analog output 1 scaling", "", 0, 4000, 3, "RW"), ("Analog output 1 mode", "", 0, 3, 0, "RW"),
        ("Analog output 2 source", "", 0, 2199, 2, "RW"), ("Analog output 2 scaling", "", 0, 4000, 3, "RW"),
        ("Analog output 2 mode", "", 0, 3, 0, "RW"), ("Current loop loss", "", 0, 1, 0, "RO"),
    ]),
    ("DIGITAL INPUTS AND OUTPUTS", [
        ("Digital I/O state word", "", 0, 255, 0, "RO"), ("Terminal 24 output select", "", 0, 1, 0, "RW"),
        ("Terminal 24 source", "", 0, 2199, 2, "RW"), ("Terminal 24 invert", "", 0, 1, 0, "RW"),
        ("Terminal 25 source", "", 0, 2199, 2, "RW"), ("Terminal 25 invert", "", 0, 1, 0, "RW"),
        ("Terminal 26 destination", "", 0, 2199, 2, "RW"), ("Terminal 26 invert", "", 0, 1, 0, "RW"),
        ("Terminal 27 destination", "", 0, 2199, 2, "RW"), ("Terminal 28 destination", "", 0, 2199, 2, "RW"),
        ("Terminal 29 destination", "", 0, 2199, 2, "RW"), ("Relay source", "", 0, 2199, 2, "RW"),
        ("Relay invert", "", 0, 1, 0, "RW"), ("Input logic polarity", "", 0, 1, 0, "RW"),
        ("Open collector outputs", "", 0, 1, 0, "RW"),
    ]),
    ("STATUS AND TRIPS", [
        ("Drive healthy", "", 0, 1, 0, "RO"), ("Drive active", "", 0, 1, 0, "RO"),
        ("Zero speed", "", 0, 1, 0, "RO"), ("Running at or below minimum", "", 0, 1, 0, "RO"),
        ("Below set speed", "", 0, 1, 0, "RO"), ("At speed", "", 0, 1, 0, "RO"),
        ("Above set speed", "", 0, 1, 0, "RO"), ("Load reached", "", 0, 1, 0, "RO"),
        ("Current limit active", "", 0, 1, 0, "RO"), ("Regenerating", "", 0, 1, 0, "RO"),
        ("Braking resistor active", "", 0, 1, 0, "RO"), ("Direction commanded", "", 0, 1, 0, "RO"),
        ("Last trip", "", 0, 230, 0, "RO"), ("Trip 1", "", 0, 230, 0, "RO"), ("Trip 2", "", 0, 230, 0, "RO"),
        ("Trip 3", "", 0, 230, 0, "RO"), ("Trip 4", "", 0, 230, 0, "RO"), ("Trip 5", "", 0, 230, 0, "RO"),
        ("DC bus voltage", "V", 0, 1200, 0, "RO"), ("Heatsink temperature", "C", -20, 150, 0, "RO"),
    ]),
    ("SERIAL COMMUNICATIONS", [
        ("Serial mode", "", 0, 3, 0, "RW"), ("Baud rate", "", 300, 115200, 0, "RW"),
        ("Node address", "", 0, 247, 0, "RW"), ("Turnaround delay", "ms", 0, 250, 0, "RW"),
        ("Parity", "", 0, 2, 0, "RW"), ("Stop bits", "", 1, 2, 0, "RW"),
        ("Handshake", "", 0, 2, 0, "RW"), ("Receive buffer high level", "", 0, 1024, 0, "RW"),
        ("Receive buffer low level", "", 0, 1024, 0, "RW"), ("Messages received", "", 0, 65535, 0, "RO"),
        ("Messages rejected", "", 0, 65535, 0, "RO"), ("Line timeout", "s", 0, 600, 1, "RW"),
    ]),
    ("SPEED LOOP", [
        ("Speed loop Kp1", "1/rad/s", 0, 65000, 4, "RW"), ("Speed loop Ki1", "s/rad", 0, 65000, 2, "RW"),
        ("Speed loop Kd1", "1/s/rad", 0, 65000, 5, "RW"), ("Speed loop Kp2", "1/rad/s", 0, 65000, 4, "RW"),
        ("Speed loop Ki2", "s/rad", 0, 65000, 2, "RW"), ("Gain select", "", 0, 1, 0, "RW"),
        ("Speed error", "rpm", -6000, 6000, 1, "RO"), ("Speed loop output", "%", -300, 300, 1, "RO"),
        ("Inertia compensation", "", 0, 1, 0, "RW"), ("Motor and load inertia", "kgm2", 0, 90000, 5, "RW"),
        ("Speed controller bandwidth", "Hz", 0, 500, 0, "RW"), ("Damping factor", "", 0, 100, 1, "RW"),
    ]),
    ("THRESHOLDS", [
        ("Threshold 1 source", "", 0, 2199, 2, "RW"), ("Threshold 1 level", "%", 0, 100, 2, "RW"),
        ("Threshold 1 hysteresis", "%", 0, 25, 2, "RW"), ("Threshold 1 output invert", "", 0, 1, 0, "RW"),
        ("Threshold 1 destination", "", 0, 2199, 2, "RW"), ("Threshold 1 output", "", 0, 1, 0, "RO"),
        ("Threshold 2 source", "", 0, 2199, 2, "RW"), ("Threshold 2 level", "%", 0, 100, 2, "RW"),
        ("Threshold 2 hysteresis", "%", 0, 25, 2, "RW"), ("Threshold 2 output invert", "", 0, 1, 0, "RW"),
        ("Threshold 2 destination", "", 0, 2199, 2, "RW"), ("Threshold 2 output", "", 0, 1, 0, "RO"),
        ("Variable selector mode", "", 0, 9, 0, "RW"), ("Variable selector scaling", "", 0, 4000, 3, "RW"),
    ]),
    ("POSITION CONTROL", [
        ("Position loop mode", "", 0, 6, 0, "RW"), ("Position loop gain", "rad/s", 0, 10000, 2, "RW"),
        ("Position error", "counts", -32768, 32767, 0, "RO"), ("Orientation position", "1/4096", 0, 4095, 0, "RW"),
        ("Orientation acceptance window", "1/4096", 0, 256, 0, "RW"), ("Orientation complete", "", 0, 1, 0, "RO"),
        ("Position reference source", "", 0, 3, 0, "RW"), ("Ratio numerator", "", 0, 10000, 4, "RW"),
        ("Ratio denominator", "", 0, 10000, 4, "RW"), ("Maximum reverse velocity", "rpm", 0, 6000, 0, "RW"),
        ("Relative jog reference", "rpm", 0, 4000, 1, "RW"), ("Relative jog enable", "", 0, 1, 0, "RW"),
    ]),
    ("PROCESS PID", [
        ("PID output", "%", -100, 100, 2, "RO"), ("PID proportional gain", "", 0, 4000, 3, "RW"),
        ("PID integral gain", "", 0, 4000, 3, "RW"), ("PID derivative gain", "", 0, 4000, 3, "RW"),
        ("PID upper limit", "%", 0, 100, 2, "RW"), ("PID lower limit", "%", -100, 100, 2, "RW"),
        ("PID output scaling", "", 0, 2500, 3, "RW"), ("PID output destination", "", 0, 2199, 2, "RW"),
        ("PID hold integrator", "", 0, 1, 0, "RW"), ("PID symmetrical limits", "", 0, 1, 0, "RW"),
        ("PID main reference source", "", 0, 2199, 2, "RW"), ("PID reference source", "", 0, 2199, 2, "RW"),
        ("PID feedback source", "", 0, 2199, 2, "RW"), ("PID enable", "", 0, 1, 0, "RW"),
        ("PID error", "%", -100, 100, 2, "RO"),
    ]),
    ("SOLUTIONS MODULE", [
        ("Module ID code", "", 0, 499, 0, "RO"), ("Module software version", "", 0, 9999, 2, "RO"),
        ("Module software sub-version", "", 0, 99, 0, "RO"), ("Module error status", "", 0, 255, 0, "RO"),
        ("Module reset", "", 0, 1, 0, "RW"), ("Module default", "", 0, 1, 0, "RW"),
        ("Module trip enable", "", 0, 1, 0, "RW"), ("Module parameter set", "", 0, 3, 0, "RW"),
    ]),
    ("APPLICATION MENU", [
        ("Application parameter %02d" % i, "", 0, 32767, 0, "RW") for i in range(1, 33)
    ]),
    ("MOTOR MAP 2", [
        ("M2 rated current", "A", 0, 400, 2, "RW"), ("M2 rated speed", "rpm", 0, 6000, 0, "RW"),
        ("M2 rated voltage", "V", 0, 690, 0, "RW"), ("M2 rated power factor", "", 0, 1000, 3, "RW"),
        ("M2 number of poles", "", 2, 32, 0, "RW"), ("M2 stator resistance", "ohm", 0, 65000, 3, "RW"),
        ("M2 transient inductance", "mH", 0, 5000, 3, "RW"), ("M2 acceleration rate", "s/1000rpm", 0, 3200, 3, "RW"),
        ("M2 deceleration rate", "s/1000rpm", 0, 3200, 3, "RW"), ("M2 current loop Kp", "", 0, 30000, 0, "RW"),
        ("M2 current loop Ki", "", 0, 30000, 0, "RW"), ("M2 speed loop Kp", "1/rad/s", 0, 65000, 4, "RW"),
        ("M2 speed loop Ki", "s/rad", 0, 65000, 2, "RW"), ("Motor map 2 select", "", 0, 1, 0, "RW"),
    ]),
    ("TIMERS AND SCOPE", [
        ("Date", "", 10101, 311299, 0, "RW"), ("Time", "", 0, 235959, 0, "RW"),
        ("Day of week", "", 0, 6, 0, "RO"), ("Date/time selector", "", 0, 5, 0, "RW"),
        ("Date format", "", 0, 1, 0, "RW"), ("Time between filter changes", "h", 0, 30000, 0, "RW"),
        ("Filter change due", "", 0, 1, 0, "RO"), ("Energy meter", "MWh", 0, 9999, 1, "RO"),
        ("Energy meter", "kWh", 0, 9999, 2, "RO"), ("Running cost", "", 0, 32000, 0, "RO"),
        ("Energy cost per kWh", "", 0, 600, 1, "RW"), ("Energy meter reset", "", 0, 1, 0, "RW"),
        ("Scope trace 1 source", "", 0, 2199, 2, "RW"), ("Scope trace 2 source", "", 0, 2199, 2, "RW"),
        ("Scope trigger level", "", -32768, 32767, 0, "RW"), ("Scope sample time", "ms", 1, 200, 0, "RW"),
    ]),
]


def fmt_value(raw, decimals):
    if decimals == 0:
        return str(raw)
    scaled = raw / (10 ** decimals)
    return "%.*f" % (decimals, scaled)


def value_for(rng, low, high, decimals):
    if decimals == 0:
        return rng.randint(low, high)
    span = (high - low) * (10 ** decimals)
    return rng.randint(0, span) + low * (10 ** decimals)


def build_values():
    rng = random.Random(1407)
    values = []
    for menu_index, (_title, params) in enumerate(MENUS, start=1):
        for param_index, (name, unit, low, high, decimals, access) in enumerate(params, start=1):
            raw = value_for(rng, low, high, decimals)
            default = value_for(rng, low, high, decimals)
            values.append((menu_index, param_index, name, unit, decimals, access, raw, default,
                           low, high))
    return values


def dump_text(values):
    lines = [
        "DRIVE PARAMETER LISTING",
        "Drive type     : 4-quadrant servo/vector drive, frame size 3",
        "Rating         : 400 V  15.0 kW  32.0 A",
        "Firmware       : 03.11.07   Bootloader 01.02.00",
        "Serial number  : 3104-552871",
        "Listing mode   : all menus, values and defaults",
        "",
        "Columns: number, name, value, unit, default, range, access",
        "=" * 78,
    ]
    current_menu = 0
    for (menu, param, name, unit, decimals, access, raw, default, low, high) in values:
        if menu != current_menu:
            current_menu = menu
            lines.append("")
            lines.append("MENU %02d  %s" % (menu, MENUS[menu - 1][0]))
            lines.append("-" * 78)
        number = "%02d.%02d" % (menu, param)
        value = fmt_value(raw, decimals)
        default_text = fmt_value(default, decimals)
        low_text = fmt_value(low * (10 ** decimals), decimals)
        high_text = fmt_value(high * (10 ** decimals), decimals)
        lines.append(("%s  %-30s %10s %s" % (number, name, value, unit)).rstrip())
        lines.append("       default %-10s range %s to %s  %s" % (default_text, low_text, high_text,
                                                                    access))
    lines.append("")
    lines.append("=" * 78)
    lines.append("END OF LISTING  %d menus  %d parameters" % (len(MENUS), len(values)))
    return CRLF.join(lines) + CRLF


def hex_record(address, record_type, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, record_type]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + body.hex().upper() + "%02X" % checksum


def param_block(values):
    """Each parameter as menu, number, value and default; values 32-bit big-endian."""
    block = bytearray()
    for (menu, param, _name, _unit, _decimals, _access, raw, default, _low, _high) in values:
        block += bytes([menu, param])
        block += (raw & 0xFFFFFFFF).to_bytes(4, "big") + (default & 0xFFFFFFFF).to_bytes(4, "big")
    return bytes(block)


def hex_text(block):
    records = []
    for offset in range(0, len(block), 16):
        records.append(hex_record(offset, 0x00, block[offset:offset + 16]))
    records.append(hex_record(0, 0x01, b""))
    return CRLF.join(records) + CRLF


def write(name, text):
    data = text.encode("ascii")
    assert not FORBIDDEN.intersection(data), name
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)
    print("%s: %d bytes" % (name, len(data)))


def main():
    values = build_values()
    write("drive-dump.mmi", dump_text(values))
    hex_file = hex_text(param_block(values))
    assert hex_file.endswith(":00000001FF" + CRLF)
    write("params.jxf", hex_file)


if __name__ == "__main__":
    main()
