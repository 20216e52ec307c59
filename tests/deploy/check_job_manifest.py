#!/usr/bin/env python3
"""The Kubernetes Job runs every shard once: parses the manifest as YAML and runs each pod's command
line through sh with its JOB_COMPLETION_INDEX, a stand-in zorvan-cli recording the arguments."""
import os
import pathlib
import subprocess
import sys
import tempfile

import yaml

manifest, dockerfile = sys.argv[1], sys.argv[2]
with open(manifest, encoding="utf-8") as f:
    job = yaml.safe_load(f)

def check(condition, message):
    if not condition:
        sys.exit(f"{manifest}: {message}")

spec = job["spec"]
check(job["kind"] == "Job" and spec.get("completionMode") == "Indexed", "not an Indexed Job")
completions = spec["completions"]
check(spec.get("parallelism", 1) <= completions, "parallelism above completions")
container = spec["template"]["spec"]["containers"][0]
env = {e["name"]: e["value"] for e in container.get("env", [])}
check(env.get("ZORVAN_SHARDS") == str(completions), "ZORVAN_SHARDS differs from completions")
script = " ".join(container["command"][2:] + container["args"])
check("JOB_COMPLETION_INDEX" in script, "the command does not use JOB_COMPLETION_INDEX")
check(container["command"][:2] == ["/bin/sh", "-c"], "the command is not run by sh -c")

with tempfile.TemporaryDirectory() as bin_dir:
    fake = pathlib.Path(bin_dir, "zorvan-cli")
    fake.write_text('#!/bin/sh\nprintf "%s\\n" "$@"\n')
    fake.chmod(0o755)
    shards = []
    for index in range(completions):
        run_env = dict(os.environ, PATH=f"{bin_dir}:{os.environ['PATH']}", JOB_COMPLETION_INDEX=str(index), **env)
        # The termination message file exists only in a pod.
        line = script.replace("/dev/termination-log", "/dev/null")
        words = subprocess.run(["/bin/sh", "-c", line], env=run_env, check=True,
                               capture_output=True, text=True).stdout.split("\n")
        check(words[0] == "batch" and "--list" in words, f"pod {index} does not run batch --list")
        check(words[words.index("--format") + 1] == "json", f"pod {index} does not print JSON Lines")
        shards.append(words[words.index("--shard") + 1])
    wanted = [f"{k}/{completions}" for k in range(1, completions + 1)]
    check(shards == wanted, f"the pods ask shards {shards}, not {wanted}")

with open(dockerfile, encoding="utf-8") as f:
    docker = f.read()
check("FROM debian:12" in docker, "the image is not Debian 12")
check("zorvan_*.deb" in docker, "the image does not install the package scripts/zorvan builds")
