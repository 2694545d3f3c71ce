#!/usr/bin/python
# SPDX-License-Identifier: Apache-2.0
# linkvane.fleet.apply: configures the devices of a plan through linkvane-cli apply on the managed host.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
module: apply
short_description: Configure the Linkvane devices of a plan on the managed host's LAN
version_added: 0.1.0
description:
  - Runs C(linkvane-cli apply) on the managed host with a plan given as I(plan) (a dict) or I(src)
    (a plan file on the managed host).
  - Each device of the plan is asked for its configuration, changed as the plan says and sent only
    what differs, so the same plan a second time changes nothing and reports C(changed=false).
  - In check mode the CLI runs with C(--dry-run), which reads every device and sends nothing.
  - With C(--diff) every field that changes (or would change) is shown with its value before and
    after, per device. Secrets are shown as C(***).
  - A device that fails (not found, no answer, refused, a mismatch under I(verify), ...) fails the
    task with the CLI's message per device; the results of every device are still returned.
options:
  cli:
    description: Path of C(linkvane-cli) on the managed host; by default the one on C(PATH).
    type: path
  port:
    description: Command port of the devices (the CLI's default is 65535).
    type: int
  broadcast:
    description: Where the commands go (the CLI's default is 255.255.255.255).
    type: str
  interface:
    description: The network interface the search and the commands keep to, or C(all).
    type: str
  password:
    description:
      - Setup password of the devices that the plan gives none.
      - Handed to the CLI inside the plan or on its standard input, never on its command line; with
        I(src), where it goes on standard input, a password with a line break is refused.
    type: str
  timeout:
    description: How long to wait for a device's answer, in milliseconds.
    type: int
  wait:
    description: How long the search listens for answers, in milliseconds.
    type: int
  plan:
    description:
      - The plan, in the shape C(linkvane-cli export) writes and C(linkvane-cli help apply) describes.
      - Values may hold templates such as C({n}), C({n:03}), C({n+10}), C({mac}) and C({id}); quote
        them in YAML, where an unquoted C({n}) is a mapping.
      - Mutually exclusive with I(src).
    type: dict
    suboptions:
      defaults:
        description: What applies to every device unless its own entry says otherwise.
        type: dict
        suboptions:
          password:
            description: Setup password of the devices.
            type: str
          set:
            description: Fields to set, by tag or role, to their values (list fields by label).
            type: dict
      devices:
        description: The devices, each named by I(device) or picked by I(select).
        type: list
        elements: dict
        required: true
        suboptions:
          device:
            description: The device's MAC text, MAC field or IP address.
            type: str
          select:
            description:
              - The devices to pick, such as C(model=KR-770*), C(id=Hall2-*) or C(ip=10.20.0.0/24),
                several joined by C(,) all of which must match.
            type: str
          password:
            description: Setup password of this device.
            type: str
          window:
            description: The window the device must open; a device that opens another is refused.
            type: str
          set:
            description: Fields to set, by tag or role, to their values.
            type: dict
  src:
    description:
      - Path of a plan file (JSON or whatever C(linkvane-cli apply) reads) on the managed host.
      - Mutually exclusive with I(plan).
    type: path
  verify:
    description:
      - Ask every updated device for its configuration again and compare each field sent; a
        mismatch or no answer fails the device.
    type: bool
    default: false
  backup:
    description:
      - Before anything is sent, write to this path on the managed host (mode 0600) a plan that puts
        back what this one changes, passwords in clear.
      - Not written in check mode.
    type: path
  parallel:
    description: Up to this many devices at once (the CLI's default is 16).
    type: int
  retries:
    description: Ask a device that gave no answer at all up to this many times more.
    type: int
notes:
  - Supports check mode and diff mode.
requirements:
  - linkvane-cli on the managed host
author:
  - Linkvane developers
'''

EXAMPLES = r'''
- name: Serial ports of every device of this site at 115200 baud
  linkvane.fleet.apply:
    password: "{{ vault_linkvane_password }}"
    plan:
      defaults:
        set:
          port1.baud: "115200"
      devices:
        - device: 00-50-C2-00-00-03
          set:
            deviceId: Pump-7
        - select: model=KR-770*
          set:
            deviceId: "Hall2-{n:03}"
            ip: "10.20.0.{n+10}"
    verify: true
    backup: /var/backups/linkvane-before.json

- name: A plan file kept on the site's host
  linkvane.fleet.apply:
    src: /etc/linkvane/site.json
    parallel: 32
    retries: 2
'''

RETURN = r'''
results:
  description:
    - One result per device of the plan, as C(linkvane-cli apply --json) writes it, in plan order.
    - C(result) is one of C(updated), C(unchanged), C(would update) (check mode), C(not found),
      C(no answer), C(refused), C(not sent), C(interrupted), C(incomplete) or C(mismatch).
  returned: always
  type: list
  elements: dict
  sample:
    - device: 00-50-C2-00-00-01
      mac: 00-50-C2-00-00-01
      window: frmSetup
      result: updated
      error: null
      skipped: []
      fields:
        - tag: DeviceID
          loaded: DEV0001
          new: Pump-7
summary:
  description: How many devices had each result.
  returned: always
  type: dict
  sample: {"updated": 3, "unchanged": 12}
failed_devices:
  description: The devices that failed, each with the CLI's message.
  returned: always
  type: list
  elements: dict
  sample:
    - device: 00-50-C2-00-00-09
      result: not found
      error: no answer to the search
'''

import json

from ansible_collections.linkvane.fleet.plugins.module_utils.linkvane import (
    EXIT_SOME_FAILED, FleetModule)

# Results of a device that did what the plan asks of it.
SUCCEEDED = ('updated', 'unchanged', 'would update')
# Results of a device that was sent something: the task changed it.
CHANGED = ('updated', 'mismatch')

# What the module reads of linkvane-cli apply --json.
RESULTS = [{'verify': {'fields': [dict]}, 'fields': [dict]}]

ENTRY = dict(password=dict(type='str', no_log=True), set=dict(type='dict'))
PLAN = dict(
    defaults=dict(type='dict', options=ENTRY),
    devices=dict(type='list', elements='dict', required=True, options=dict(
        ENTRY, device=dict(type='str'), select=dict(type='str'), window=dict(type='str'))),
)


def plan_text(module):
    """The plan as JSON for the CLI: the entries' unset options left out and the module's password
    as the plan's default one. Values go as they are: the CLI checks them against each window."""
    def entry(e):
        return dict((k, v) for k, v in e.items() if v is not None)

    plan = module.params['plan']
    result = {'devices': [entry(d) for d in plan['devices']]}
    defaults = entry(plan.get('defaults') or {})
    if module.params['password'] is not None and 'password' not in defaults:
        defaults['password'] = module.params['password']
    if defaults:
        result['defaults'] = defaults
    return json.dumps(result)


def failure(result):
    """What failed of a device's result: None when it did what the plan asks. A device updated whose
    verify found other values than were sent failed too (mismatch, or no answer to the verify)."""
    verify = result.get('verify') or {}
    outcome, error = result.get('result'), result.get('error')
    if outcome in SUCCEEDED and verify.get('result') not in (None, 'verified'):
        outcome = verify['result']
    elif outcome in SUCCEEDED:
        return None
    # The fields that differ; without an answer to the check nothing was reported to compare.
    if not error and outcome == 'mismatch' and verify.get('fields'):
        error = ', '.join('%s sent %s, reported %s' % (f.get('tag'), f.get('sent'), f.get('reported'))
                          for f in verify['fields'] if f.get('sent') != f.get('reported'))
    return dict(device=result.get('device'), result=outcome, error=error or None)


def device_diff(result):
    """The before and after of every field a device's result lists as changed."""
    fields = result.get('fields') or []
    if not fields:
        return None
    name = result.get('device') or ''
    if result.get('mac') and result['mac'] != name:
        name += ' (%s)' % result['mac']
    lines = [(f.get('tag'), f.get('loaded'), f.get('new')) for f in fields]
    # A field listed is one that changes: the same text before and after is a secret masked on both
    # sides ("***"), which the diff would otherwise show as unchanged.
    lines = [(tag, old, new if new != old else '%s (changed)' % new) for tag, old, new in lines]
    return dict(before_header=name, after_header=name,
                before=''.join('%s: %s\n' % (tag, old) for tag, old, new in lines),
                after=''.join('%s: %s\n' % (tag, new) for tag, old, new in lines))


def main():
    module = FleetModule(dict(plan=dict(type='dict', options=PLAN),
                              src=dict(type='path'),
                              verify=dict(type='bool', default=False),
                              backup=dict(type='path'),
                              parallel=dict(type='int'),
                              retries=dict(type='int')),
                         supports_check_mode=True,
                         mutually_exclusive=[('plan', 'src')], required_one_of=[('plan', 'src')])
    p = module.params

    args = ['apply']
    if module.check_mode:
        args.append('--dry-run')
    else:
        if p['verify']:
            args.append('--verify')
        if p['backup']:
            args += ['--backup', p['backup']]
    for name in ('parallel', 'retries'):
        if p[name] is not None:
            args += ['--' + name, str(p[name])]
    ok_codes = (0, EXIT_SOME_FAILED)
    if p['plan'] is not None:
        # On standard input, so the plan and its passwords never reach a file.
        rc, results, _ = module.run_cli(args + ['-'], data=plan_text(module), ok_codes=ok_codes,
                                          password=False, shape=RESULTS)
    else:
        rc, results, _ = module.run_cli(args + [p['src']], ok_codes=ok_codes, shape=RESULTS)

    summary = {}
    for r in results:
        summary[r.get('result')] = summary.get(r.get('result'), 0) + 1
    changing = CHANGED + (('would update',) if module.check_mode else ())
    changed = any(r.get('result') in changing for r in results)
    failed = [f for f in (failure(r) for r in results) if f]
    outcome = dict(changed=changed, results=results, summary=summary, failed_devices=failed)
    if module._diff:
        outcome['diff'] = [d for d in (device_diff(r) for r in results) if d]
    if failed or rc != 0:
        lines = ['%s: %s%s' % (f['device'], f['result'], ': %s' % f['error'] if f['error'] else '')
                 for f in failed]
        module.fail_json(msg='%d of %d devices failed: %s' % (len(failed), len(results), '; '.join(lines) or
                                                              'linkvane-cli ended with exit status %d' % rc),
                         **outcome)
    module.exit_json(msg=', '.join('%d %s' % (n, k) for k, n in sorted(summary.items())), **outcome)


if __name__ == '__main__':
    main()
