"""The bytes of one resource of a Windows program, read with icoutils' wrestool."""
import subprocess


def resource(program, kind, name):
    """The bytes of one resource, or None when the program has none of that type and name."""
    data = subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", f"--name={name}",
                           str(program)], check=True, capture_output=True).stdout
    return data or None
