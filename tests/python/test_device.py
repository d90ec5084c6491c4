# Opening, listing and the register, IIC, GPIO, HDMI and firmware-version calls, checked
# against the emulated board's own state files and, byte for byte, against the wire trace.
import gc
import json
import os
import resource
import tracemalloc

import brimlo_hid


def device_json(sim_dir):
    with open(os.path.join(sim_dir, "device.json")) as f:
        return json.load(f)


def test_list_and_open_describe_the_board(sim_dir):
    found = brimlo_hid.list(simulate=True, sim_state=sim_dir)
    assert len(found) == 1 and found[0].matches and found[0].readable
    assert found[0].vid_pid == "%04x:%04x" % (brimlo_hid.DEFAULT_VID, brimlo_hid.DEFAULT_PID)
    assert not brimlo_hid.list(vid=0x1234, simulate=True, sim_state=sim_dir)[0].matches
    with brimlo_hid.open(simulate=True, sim_state=sim_dir) as dev:
        assert dev.description.startswith("Device #0: VID: 0x%04X  PID: 0x%04X" % (
            brimlo_hid.DEFAULT_VID, brimlo_hid.DEFAULT_PID))
        assert dev.path == found[0].path
    assert dev.closed and "closed" in repr(dev)


def test_peripheral_calls_round_trip(dev, sim_dir):
    dev.reg_write(0x03FF0000, 0xF6000000)
    dev.reg_write(value=0x12345678, addr=0x03FF0004)
    assert dev.reg_read(0x03FF0000) == 0xF6000000
    assert dev.reg_read_block(0x03FF0000, 2) == [0xF6000000, 0x12345678]

    version = ".".join("%02x" % (dev.reg_read(0x54 + 4 * k) & 0xFF) for k in range(4))
    assert dev.fw_version() == version == "01.00.04.10"

    dev.iic_write(0x90, b"\x10\xab\xcd")
    assert dev.iic_read(0x90, b"\x10", 2) == b"\xab\xcd"
    assert dev.iic_scan() == [int(d["address"], 16) for d in device_json(sim_dir)["iic_devices"]]

    dev.gpio_dir(2, True)
    dev.gpio_set(2, 0)
    assert dev.gpio_get(2) == 0
    dev.gpio_set(2, 1)
    assert dev.gpio_get(2) == 1
    dev.gpio_dir(0, False)
    assert dev.gpio_get(0) == device_json(sim_dir)["gpio_input_levels"][0]

    hdmi = dev.hdmi()
    assert len(hdmi) == 24 and hdmi == bytes.fromhex(device_json(sim_dir)["hdmi_info"])


def test_trace_records_the_reports_byte_for_byte(sim_dir, tmp_path):
    trace = tmp_path / "trace.jsonl"
    with brimlo_hid.open(simulate=True, sim_state=sim_dir, trace=str(trace)) as dev:
        dev.reg_write(0x03FF0000, 0xF6000000)
        dev.reg_read(0x54)
        dev.iic_write(0x90, b"\x0f\x00")
        dev.gpio_dir(2, True)
    sent = [line["data"] for line in map(json.loads, trace.read_text().splitlines())
            if line["op"] == "set_output" and line["ok"]]
    assert sent[-4].startswith("020a000000ff03000000f6")
    assert sent[-4][len("020a000000ff03000000f6"):].strip("0") == ""
    assert sent[-3].startswith("02060154000000")
    assert sent[-2].startswith("03060690020f00")
    assert sent[-1].startswith("0204080201")


def test_ten_thousand_calls_leak_nothing(dev):
    def calls(n):
        for i in range(n):
            dev.reg_read(0x54)
            dev.reg_write(0x03FF0000, i)
            dev.hdmi()
            dev.fw_version()
    calls(1000)
    gc.collect()
    tracemalloc.start()
    rss = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    before = tracemalloc.get_traced_memory()[0]
    calls(10000)
    gc.collect()
    grown = tracemalloc.get_traced_memory()[0] - before
    tracemalloc.stop()
    assert grown < 16 * 1024, grown
    if "libasan" not in os.environ.get("LD_PRELOAD", ""):  # its quarantine keeps what was freed
        assert resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - rss < 4096  # KiB
