# Every exception kind, and arguments of the wrong type or range refused before anything is sent.
import subprocess
import sys
import threading

import pytest

import brimlo_hid


def test_hierarchy():
    for kind in (brimlo_hid.NotFoundError, brimlo_hid.BusyError, brimlo_hid.DeviceError,
                 brimlo_hid.CompareError, brimlo_hid.ImageError, brimlo_hid.UsageError):
        assert issubclass(kind, brimlo_hid.Error)
    assert issubclass(brimlo_hid.UsageError, ValueError)


def test_open_refusals_and_choices(sim_dir):
    with pytest.raises(brimlo_hid.NotFoundError, match="HID Device no found"):
        brimlo_hid.open(vid=0x1234, simulate=True, sim_state=sim_dir)
    with pytest.raises(brimlo_hid.UsageError, match="sim_state only applies.*simulate=True"):
        brimlo_hid.open(sim_state=sim_dir)
    with pytest.raises(brimlo_hid.NotFoundError, match="(?s)No board matches port/serial.*port 1-1"):
        brimlo_hid.open(simulate=True, sim_state=sim_dir, sim_boards=2, port="9-9")
    for chooser in ({"port": "1-1"}, {"serial": "X"}):
        with pytest.raises(brimlo_hid.UsageError, match="path, or with port and serial, not both"):
            brimlo_hid.open(simulate=True, sim_state=sim_dir, sim_boards=2, path="/x", **chooser)
    with pytest.warns(UserWarning, match="2 boards match; using the first, (.*) \\(port 1-1, "
                      "serial .*\\); choose another with path, port or serial"):
        with brimlo_hid.open(simulate=True, sim_state=sim_dir, sim_boards=2) as first:
            paths = {i.port: i.path for i in brimlo_hid.list(simulate=True, sim_state=sim_dir,
                                                              sim_boards=2)}
            assert first.path == paths["1-1"]
    with pytest.raises(ValueError):
        brimlo_hid.open(vid=0x10000, simulate=True, sim_state=sim_dir)


def test_bad_arguments_raise_type_or_value_error(dev):
    for call, error in [
        (lambda: dev.reg_read("0x54"), TypeError),
        (lambda: dev.reg_read(1.5), TypeError),
        (lambda: dev.reg_read(-1), ValueError),
        (lambda: dev.reg_read(2**32), ValueError),
        (lambda: dev.reg_write(0, 2**200), ValueError),
        (lambda: dev.reg_write(0), TypeError),
        (lambda: dev.reg_read(0, addr=0), TypeError),
        (lambda: dev.reg_read_block(0xFFFFFFFC, 2), ValueError),
        (lambda: dev.reg_read_block(0, 0), ValueError),
        (lambda: dev.reg_read_block(0, 0x10001), ValueError),
        (lambda: dev.iic_write(0x90, "text"), TypeError),
        (lambda: dev.iic_write(0x90, bytes(256)), ValueError),
        (lambda: dev.iic_read(0x100), ValueError),
        (lambda: dev.iic_read(0x90, count=0), ValueError),
        (lambda: dev.gpio_get(4), ValueError),
        (lambda: dev.gpio_set(0, 256), ValueError),
        (lambda: dev.flash.burn(b"\0", areas=["bogus"]), ValueError),
        (lambda: dev.flash.burn(b"\0", areas=[]), brimlo_hid.UsageError),
        (lambda: dev.flash.dump(progress=5), TypeError),
        (lambda: dev.flash.verify(42), TypeError),
    ]:
        with pytest.raises(error):
            call()
    assert dev.reg_read(0x54) & 0xFF == 0x01  # nothing was left half-done


def test_device_image_and_closed_errors(dev, tmp_path):
    with pytest.raises(brimlo_hid.DeviceError, match="return code"):
        dev.iic_read(0x40)
    with pytest.raises(brimlo_hid.ImageError, match="empty"):
        dev.flash.burn(b"")
    with pytest.raises(brimlo_hid.ImageError):
        dev.flash.verify(str(tmp_path / "missing.bin"))
    dev.close()
    with pytest.raises(brimlo_hid.UsageError, match="closed"):
        dev.reg_read(0)


def test_failed_exchange_is_a_device_error(sim_dir, set_faults):
    set_faults(fail_exchange=3)
    with brimlo_hid.open(simulate=True, sim_state=sim_dir) as dev:
        with pytest.raises(brimlo_hid.DeviceError, match="register read at 0x00000054 failed"):
            for _ in range(3):
                dev.reg_read(0x54)


def test_compare_failure_names_the_first_difference(sim_dir, set_faults):
    set_faults(corrupt_read_at=0x1234)
    image = bytes(range(256)) * (8 << 12)
    with brimlo_hid.open(simulate=True, sim_state=sim_dir) as dev:
        with pytest.raises(brimlo_hid.CompareError, match="Compare failed") as failure:
            dev.flash.burn(image)
    assert (failure.value.address, failure.value.expected, failure.value.found) == (
        0x1234, image[0x1234], image[0x1234] ^ 1)


def test_busy_while_another_thread_dumps(dev):
    started, finish = threading.Event(), threading.Event()
    errors = []

    def progress(phase, done, total):
        started.set()
        finish.wait(10)

    def dump():
        try:
            dev.flash.dump(progress=progress)
        except Exception as error:  # reported below
            errors.append(error)

    worker = threading.Thread(target=dump)
    worker.start()
    assert started.wait(10)
    try:
        with pytest.raises(brimlo_hid.BusyError, match="busy"):
            dev.reg_read(0x54)
    finally:
        finish.set()
        worker.join()
    assert not errors


def test_busy_while_another_process_holds_the_board(sim_dir):
    holder = subprocess.Popen(
        [sys.executable, "-c", "import brimlo_hid, sys\n"
         "d = brimlo_hid.open(simulate=True, sim_state=sys.argv[1])\n"
         "print('held', flush=True)\nsys.stdin.read()", sim_dir],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert holder.stdout.readline() == "held\n"
        with pytest.raises(brimlo_hid.BusyError, match="busy: another process"):
            brimlo_hid.open(simulate=True, sim_state=sim_dir)
    finally:
        holder.communicate("")
    assert holder.returncode == 0
    brimlo_hid.open(simulate=True, sim_state=sim_dir).close()  # free again
