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
