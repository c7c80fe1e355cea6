// Documents the schemas must reject, each made from a valid one (which must pass) by one change,
// with the place where the validator has to find the fault: a missing required key, a value of
// the wrong type, a word outside an enumeration, a key where the library writes none.

const attribute = (action) => ({
  name: '100.2A.0.0.0.0i', label: 'Speed', type: 'integer', value: 900, category: 'Status',
  displayable: true, ...(action ? { action } : {}),
});

export const valid = {
  table: {
    iTotalRecords: 2, sColumns: ['PID', 'Type'], download: false,
    aaSorting: [['1', 'desc'], ['0', 'asc']], aaData: [[256, 'PMT'], [257, 'Video']],
  },
  plot: {
    title: 'Load', xtitle: '', ytitle: '%', maxpoints: 60, refresh: 5000, interactive: false,
    series: [{ name: 'cpu', x: 'time', y: [7, 9, 4] }], width: 640, height: 260,
  },
  scatter: {
    title: 'Constellation', xtitle: 'I', ytitle: 'Q', maxpoints: 64, refresh: 1000, type: 'scatter',
    interactive: false, series: [{ name: 'symbols', x: [1, -3], y: [5, 6] }],
  },
  tree: {
    label: 'A', type: 'service', value: '#1',
    children: [{ label: 'B', type: 'pmt', value: '256', children: [] }],
  },
  'service-tree': {
    label: 'TS1', type: 'transport', value: '',
    children: [{
      label: 'News', type: 'service', value: '#1',
      children: [
        { label: 'Service Provider', type: '', value: 'Metro', children: [] },
        { label: 'PMT PID', type: 'pmt', value: '256', children: [] },
        { label: 'Audio PID', type: 'audio', value: '258',
          children: [{ label: 'CA Encryption', type: '', value: 'Encrypted (SystemID: 0xb00)', children: [] }] },
        { label: 'CA Encryption', type: '', value: 'Free', children: [] },
      ],
    }],
  },
  scene: {
    images: [
      { id: 'panel', data: 'iVBORw0KGgo=', type: 'png', width: 640, height: 160 },
      { id: 'plan', url: 'plan.svg', type: 'svg', width: 640, height: 480 },
    ],
    attributes: { position: 'right', width: 240, height: 480 },
    scene: {
      position: 'left', width: 640, height: 480, selection: { type: 'border' },
      parts: [{
        id: 'div_plan_Pump', label: 'Pump', type: 'region', image: 'plan',
        position: { x: 120, y: 80, z: 1 }, status: { severity: 'warning', label: 'Hot' },
        attributes: [
          attribute(null),
          attribute({ type: 'text' }),
          attribute({ type: 'enum', options: [{ value: '0', label: 'Off' }, { value: '1', label: 'On' }] }),
          attribute({ type: 'check', options: [{ state: 'unchecked', value: 'Off' }, { state: 'checked', value: 'On' }] }),
          attribute({ type: 'button', label: 'Reset' }),
          attribute({ type: 'apply' }),
          attribute({ type: 'slider', min: 0, max: 10, unit: 'bar', precision: 1, denominator: 10 }),
        ],
        'attribute-tables': [{
          category: 'Status',
          layout: { type: 'table', columns: { count: 2, style: { width: { name: '60%', value: '40%' } } }, rows: { names: ['Speed'] } },
        }],
      }],
    },
  },
  'scene-post': { attributes: [{ name: '100.2A.0.0.0.0i', value: '42' }, { name: '100.2B.0.0.0.0s', value: 'hello' }] },
};

const part = (d) => d.scene.parts[0];
const pair = (d) => d.attributes[0];

// [schema, what is wrong, change made to a copy of valid[schema], where the fault is]
export const wrong = [
  ['table', 'a missing required key', (d) => { delete d.aaData; }, ''],
  ['table', 'a count as text', (d) => { d.iTotalRecords = '2'; }, '/iTotalRecords'],
  ['table', 'a sort order of an unknown direction', (d) => { d.aaSorting[0][1] = 'up'; }, '/aaSorting/0/1'],
  ['table', 'a sort column as a number', (d) => { d.aaSorting[0][0] = 1; }, '/aaSorting/0/0'],
  ['table', 'a cell that is an object', (d) => { d.aaData[0][0] = { pid: 256 }; }, '/aaData/0/0'],
  ['table', 'an extra key', (d) => { d.iDisplayLength = 10; }, ''],
  ['plot', 'a missing series', (d) => { delete d.series; }, ''],
  ['plot', 'a sample that is not an integer', (d) => { d.series[0].y[1] = 9.5; }, '/series/0/y/1'],
  ['plot', 'a time series whose x is not "time"', (d) => { d.series[0].x = [1, 2, 3]; }, '/series/0/x'],
  ['plot', 'a width without a height', (d) => { delete d.height; }, ''],
  ['plot', 'an extra key', (d) => { d.colour = 'red'; }, ''],
  ['scatter', 'an unknown plot type', (d) => { d.type = 'bar'; }, '/type'],
  ['scatter', 'a series without y', (d) => { delete d.series[0].y; }, '/series/0'],
  ['tree', 'a missing children array', (d) => { delete d.children[0].children; }, '/children/0'],
  ['tree', 'a label that is a number', (d) => { d.label = 1; }, '/label'],
  ['tree', 'an extra key', (d) => { d.children[0].open = true; }, '/children/0'],
  ['service-tree', 'a root that is no transport', (d) => { d.type = 'service'; }, '/type'],
  ['service-tree', 'a PID label with another type word', (d) => { d.children[0].children[1].type = 'video'; }, '/children/0/children/1/type'],
  ['service-tree', 'a PID that is not decimal', (d) => { d.children[0].children[1].value = '0x100'; }, '/children/0/children/1/value'],
  ['service-tree', 'a CA state in upper-case hexadecimal', (d) => { d.children[0].children[2].children[0].value = 'Encrypted (SystemID: 0xB00)'; }, '/children/0/children/2/children/0/value'],
  ['service-tree', 'a service number without "#"', (d) => { d.children[0].value = '1'; }, '/children/0/value'],
  ['scene', 'a missing scene', (d) => { delete d.scene; }, ''],
  ['scene', 'an unknown attribute type', (d) => { part(d).attributes[0].type = 'float'; }, '/scene/parts/0/attributes/0/type'],
  ['scene', 'an unknown action', (d) => { part(d).attributes[1].action.type = 'toggle'; }, '/scene/parts/0/attributes/1/action/type'],
  ['scene', 'an attribute without its name', (d) => { delete part(d).attributes[0].name; }, '/scene/parts/0/attributes/0'],
  ['scene', 'an enum option without its label', (d) => { delete part(d).attributes[2].action.options[1].label; }, '/scene/parts/0/attributes/2/action/options/1'],
  ['scene', 'a check option in an unknown state', (d) => { part(d).attributes[3].action.options[0].state = 'on'; }, '/scene/parts/0/attributes/3/action/options/0/state'],
  ['scene', 'a slider with a key the library never writes', (d) => { part(d).attributes[6].action.step = 1; }, '/scene/parts/0/attributes/6/action'],
  ['scene', 'a value that is an object', (d) => { part(d).attributes[0].value = { raw: 1 }; }, '/scene/parts/0/attributes/0/value'],
  ['scene', 'displayable as text', (d) => { part(d).attributes[0].displayable = 'true'; }, '/scene/parts/0/attributes/0/displayable'],
  ['scene', 'an image with data and a URL', (d) => { d.images[0].url = 'panel.png'; }, '/images/0'],
  ['scene', 'a part of an unknown severity', (d) => { part(d).status.severity = 'fatal'; }, '/scene/parts/0/status/severity'],
  ['scene', 'a part with an extra key', (d) => { part(d).colour = 'red'; }, '/scene/parts/0'],
  ['scene', 'a negative position', (d) => { part(d).position.x = -1; }, '/scene/parts/0/position/x'],
  ['scene', 'an attribute table whose names are not a list', (d) => { part(d)['attribute-tables'][0].layout.rows.names = 'Speed'; }, '/scene/parts/0/attribute-tables/0/layout/rows/names'],
  ['scene-post', 'a pair without its value', (d) => { delete pair(d).value; }, '/attributes/0'],
  ['scene-post', 'a value that is a number', (d) => { pair(d).value = 42; }, '/attributes/0/value'],
  ['scene-post', 'an empty value, which sends nothing', (d) => { pair(d).value = ''; }, '/attributes/0/value'],
  ['scene-post', 'a name that is no parameter id', (d) => { pair(d).name = 'Speed'; }, '/attributes/0/name'],
  ['scene-post', 'a pair with an extra key', (d) => { pair(d).label = 'Speed'; }, '/attributes/0'],
  ['scene-post', 'an extra key', (d) => { d.mode = 'request'; }, ''],
];
