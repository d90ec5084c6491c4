import json
import os

import pytest

import brimlo_hid


@pytest.fixture
def sim_dir(tmp_path):
    state = tmp_path / "board"
    state.mkdir()
    return str(state)


@pytest.fixture
def dev(sim_dir):
    with brimlo_hid.open(simulate=True, sim_state=sim_dir) as device:
        yield device


@pytest.fixture
def set_faults(sim_dir):
    """Gives the emulated board in sim_dir the faults named, for the Devices opened after."""
    def apply(**faults):
        brimlo_hid.open(simulate=True, sim_state=sim_dir).close()  # writes device.json
        path = os.path.join(sim_dir, "device.json")
        with open(path) as f:
            config = json.load(f)
        config["faults"] = faults
        with open(path, "w") as f:
            json.dump(config, f)
    return apply
