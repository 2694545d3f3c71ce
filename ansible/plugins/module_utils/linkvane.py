# SPDX-License-Identifier: Apache-2.0
# What the modules of linkvane.fleet share: the options every linkvane-cli command takes, the command
# line built from them (a password never on it), running the CLI and reading its --json output.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import re

from ansible.module_utils.basic import AnsibleModule

# The options of every command, as the CLI's global options.
COMMON_ARGS = dict(
    cli=dict(type='path'),
    port=dict(type='int'),
    broadcast=dict(type='str'),
    interface=dict(type='str'),
    password=dict(type='str', no_log=True),
    timeout=dict(type='int'),
    wait=dict(type='int'),
)

# Fields that hold a password or an access code: their values are kept out of the log and the output
# as the password options are. Tags and roles alike (SetupPassword, krAccess, password, ...).
SECRET_FIELD = re.compile(r'password|access', re.IGNORECASE)

# The exit status of a run in which every device was looked at, some of them failing.
EXIT_SOME_FAILED = 5


def plan_secrets(plan):
    """The secret values a plan holds: its passwords and the values of secret fields it sets."""
    found = set()
    if not isinstance(plan, dict):
        return found
    entries = [plan.get('defaults') or {}] + list(plan.get('devices') or [])
    for entry in entries:
        if not isinstance(entry, dict):
            continue
        values = [entry.get('password')]
        values += [v for k, v in (entry.get('set') or {}).items() if SECRET_FIELD.search(str(k))]
        # "***" leaves a secret as it is and an empty value reveals nothing; masking either would
        # blank every such text in the output.
        found.update(str(v) for v in values if v is not None and str(v) not in ('', '***'))
    return found


def shape_problem(value, shape, where='the document'):
    """Why VALUE lacks SHAPE, or None. SHAPE is a type (dict, list, ...), [SHAPE] for a list whose
    every element has SHAPE, or {key: SHAPE} for a dict whose keys listed have theirs unless null."""
    if isinstance(shape, list):
        if not isinstance(value, list):
            return '%s is no list' % where
        problems = (shape_problem(v, shape[0], '%s[%d]' % (where, i)) for i, v in enumerate(value))
    elif isinstance(shape, dict):
        if not isinstance(value, dict):
            return '%s is no object' % where
        problems = (shape_problem(value[k], s, '%s.%s' % (where, k))
                    for k, s in shape.items() if value.get(k) is not None)
    else:
        name = {dict: 'object', list: 'list'}.get(shape, shape.__name__)
        return None if isinstance(value, shape) else '%s is no %s' % (where, name)
    return next((p for p in problems if p), None)


class FleetModule(AnsibleModule):
    """An AnsibleModule that also keeps the secrets inside a plan out of the log and the output.
    PARAMETERS are the module's own beside COMMON_ARGS, which every module of the collection takes."""

    def __init__(self, parameters=None, **kwargs):
        super(FleetModule, self).__init__(dict(COMMON_ARGS, **(parameters or {})), **kwargs)

    def _log_invocation(self):
        # Called once the parameters are checked and before the invocation is logged.
        self.no_log_values.update(plan_secrets(self.params.get('plan')))
        super(FleetModule, self)._log_invocation()

    def cli_path(self):
        return self.params['cli'] or self.get_bin_path('linkvane-cli', required=True)

    def global_options(self, password=True):
        """The CLI's global options for the module's parameters, --json included, and the password
        option when PASSWORD (the caller may hand the password over in a plan instead)."""
        args = ['--json']
        for name in ('port', 'broadcast', 'interface', 'timeout', 'wait'):
            if self.params[name] is not None:
                args += ['--' + name, str(self.params[name])]
        if password and self.params['password'] is not None:
            # On standard input: a command line is visible to every user of the machine.
            args += ['--password-file', '-']
        return args

    def run_cli(self, args, data=None, ok_codes=(0,), password=True, shape=None):
        """Runs linkvane-cli with the global options and ARGS; returns (rc, parsed JSON, stderr).

        DATA goes to standard input after the password line when there is a password. A run that
        writes the CLI's error document, whose exit status is not in OK_CODES, or whose output is no
        JSON of SHAPE (see shape_problem) fails the task with the CLI's message."""
        stdin = []
        if password and self.params['password'] is not None:
            # The CLI reads the password from the first line: the rest of it would be cut off.
            if re.search(r'[\r\n]', self.params['password']):
                self.fail_json(msg='the password holds a line break, which linkvane-cli cannot read from '
                                   'its standard input; give it in the plan instead')
            stdin.append(self.params['password'])
        if data is not None:
            stdin.append(data)
        # Standard input is always a pipe: the CLI asks on a terminal for a password it was not given.
        command = [self.cli_path()] + self.global_options(password) + list(args)
        rc, out, err = self.run_command(command, data='\n'.join(stdin) + '\n', binary_data=True)
        err = err.strip()
        try:
            document = json.loads(out)
        except ValueError:
            document = None
        error = document.get('error') if isinstance(document, dict) else None
        if isinstance(error, dict):
            self.fail_json(msg=str(error.get('message') or 'linkvane-cli ended with exit status %d' % rc),
                           rc=rc, stderr=err)
        if rc not in ok_codes:
            # A result with an exit status the module does not take: standard error says why.
            self.fail_json(msg=err or 'linkvane-cli ended with exit status %d' % rc, rc=rc, stderr=err)
        if document is None:
            self.fail_json(msg='linkvane-cli wrote no JSON: %s' % (err or out[:200]), rc=rc, stderr=err)
        problem = shape_problem(document, shape) if shape is not None else None
        if problem:
            self.fail_json(msg='linkvane-cli wrote JSON of another shape than this module reads (%s): is %s '
                               'the linkvane-cli of this collection?' % (problem, command[0]), rc=rc, stderr=err)
        return rc, document, err
