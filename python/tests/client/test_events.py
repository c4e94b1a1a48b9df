"""Events: a Python object's methods receive the object's outgoing calls."""
import sys

import pytest

import oleaut


class Recorder:
    def __init__(self):
        self.calls = []

    def Progress(self, block, total):
        self.calls.append(("Progress", block, total))

    def Finished(self, text):
        self.calls.append(("Finished", text))


def test_events_reach_the_sink_until_it_is_disconnected(obj):
    sink = Recorder()
    cookie = oleaut.advise(obj, sink)
    assert obj.Fire(3, "done") == 0
    assert sink.calls == [("Progress", 1, 3), ("Progress", 2, 3), ("Progress", 3, 3), ("Finished", "done")]
    oleaut.unadvise(obj, cookie)
    obj.Fire(2, "again")
    assert len(sink.calls) == 4


def test_every_connected_sink_is_called_and_missing_handlers_are_skipped(obj):
    class OnlyFinished:
        def __init__(self):
            self.texts = []

        def Finished(self, text):
            self.texts.append(text)

    first, second = Recorder(), OnlyFinished()
    oleaut.advise(obj, first)
    oleaut.advise(obj, second)
    obj.Fire(1, "end")
    assert first.calls == [("Progress", 1, 1), ("Finished", "end")]
    assert second.texts == ["end"]


def test_a_failing_handler_is_reported_and_the_source_goes_on(obj, monkeypatch):
    reports = []
    # Only the texts: a kept traceback would keep the test's objects alive through its frames.
    monkeypatch.setattr(sys, "unraisablehook", lambda report: reports.append(str(report.exc_value)))

    class Failing(Recorder):
        def Progress(self, block, total):
            super().Progress(block, total)
            raise ValueError(f"block {block}")

    sink = Failing()
    oleaut.advise(obj, sink)
    assert obj.Fire(2, "done") == 0
    assert [c[0] for c in sink.calls] == ["Progress", "Progress", "Finished"]
    assert reports == ["block 1", "block 2"]


@pytest.mark.parametrize("source, sink, error, text", [
    ("OruTest.Object", object(), TypeError, r"no method for any event of _ITestEvents \(Progress, Finished\)"),
    ("OruTest.Untyped", Recorder(), TypeError, "event interfaces are not described"),
    ("OruTest.Collection", Recorder(), oleaut.Error, "not a connection-point container"),
])
def test_advise_refusals(source, sink, error, text):
    with pytest.raises(error, match=text):
        oleaut.advise(oleaut.Dispatch(source), sink)


def test_unadvise_of_an_unknown_cookie_fails(obj):
    with pytest.raises(oleaut.Error) as info:
        oleaut.unadvise(obj, 99)
    assert info.value.hresult == oleaut.CONNECT_E_NOCONNECTION


def test_a_sink_lives_as_long_as_its_connection():
    source = oleaut.Dispatch("OruTest.Object")
    sink = Recorder()
    unconnected = sys.getrefcount(sink)
    oleaut.advise(source, sink)
    assert sys.getrefcount(sink) == unconnected + 1
    del source  # the object goes, and with it the connection and its reference to the sink
    assert sys.getrefcount(sink) == unconnected


@pytest.mark.parametrize("stop", [KeyboardInterrupt, SystemExit])
def test_stopping_the_script_from_a_handler_reaches_the_firing_call(obj, stop):
    class Stopping(Recorder):
        def Progress(self, block, total):
            super().Progress(block, total)
            if len(self.calls) == 1:
                raise stop()

    sink = Stopping()
    oleaut.advise(obj, sink)
    with pytest.raises(stop):
        obj.Fire(3, "done")
    assert sink.calls == [("Progress", 1, 3)]  # no handler runs once the script is stopping
    obj.Fire(1, "next")  # nothing stays pending
    assert sink.calls[1:] == [("Progress", 1, 1), ("Finished", "next")]
