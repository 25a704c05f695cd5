"""Clean-up that a signal must not break off halfway."""
import contextlib
import signal

SIGNALS = {signal.SIGINT, signal.SIGTERM, signal.SIGHUP}


@contextlib.contextmanager
def shielded():
    """Holds SIGINT/SIGTERM/SIGHUP back while the block runs; one that arrived meanwhile is
    delivered when it ends, so the interruption still happens, after the clean-up."""
    previous = signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
    try:
        yield
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, previous)
