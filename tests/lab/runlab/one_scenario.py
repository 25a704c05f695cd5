"""One scenario of the table, run once from the command line (scripts/run --lab calls this)."""
import argparse
import sys
from pathlib import Path

from vesklab.lab import DEFAULT_HOST, TOP, Lab
from vesklab.suite import SignalGuard

from runlab.judge import Runner
from runlab.model import Scenario
from runlab.scenarios import checked_cases


def scenarios():
    return [case for case in checked_cases(DEFAULT_HOST) if isinstance(case, Scenario)]


def list_scenarios():
    for scenario in scenarios():
        print(f"{scenario.name:<26} {scenario.about}")
    return 0


def one_scenario_arguments():
    parser = argparse.ArgumentParser(description="Runs one scenario of the table once.")
    parser.add_argument("--build", choices=("native", "windows"), default="native")
    parser.add_argument("--build-dir", help="build folder (default: build/<build>)")
    parser.add_argument("--scenario", help="the scenario's name (see --list)")
    parser.add_argument("--list", action="store_true", help="name every scenario and stop")
    parser.add_argument("--report", help="where the program writes its report (must not exist); "
                                         "default: the lab's work folder, removed afterwards")
    options = parser.parse_args()
    if not options.list and not options.scenario:
        parser.error("name a scenario with --scenario NAME, or use --list")
    return options


def run_one_scenario(options):
    """Returns the program's exit code, or 1 when the lab could not run it."""
    if options.scenario not in {scenario.name for scenario in scenarios()}:
        print(f"no scenario {options.scenario!r}; --list names them", file=sys.stderr)
        return 1
    if options.report and Path(options.report).exists():
        print(f"{options.report} exists, and the program never overwrites a file", file=sys.stderr)
        return 1
    build_dir = options.build_dir or TOP / "build" / options.build
    with SignalGuard(), Lab(options.build, build_dir) as lab:
        scenario = next(case for case in checked_cases(lab.host)
                        if isinstance(case, Scenario) and case.name == options.scenario)
        runner = Runner(lab)
        space = lab.namespace(scenario.addresses)
        try:
            if scenario.server:
                space.start_server(scenario.server)
            verdict = runner.run_case(space, scenario, options.report)
        finally:
            for problem in space.close():
                print(f"clean-up: {problem}", file=sys.stderr)
        outcome = "as the scenario expects" if verdict.passed else "NOT as the scenario expects"
        print(f"lab scenario {scenario.name} ({options.build}): report {outcome}; "
              f"{verdict.summary}")
        for problem in runner.problems:
            print(f"  {problem}")
        return 1 if runner.exit_code is None else runner.exit_code


def scenario_mode():
    names = {argument.split("=")[0] for argument in sys.argv[1:]}
    return bool(names & {"--scenario", "--list"})
