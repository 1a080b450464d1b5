-- The docs page's Neovim set-up, run as it stands: its lua block is taken from
-- the docs page, with kestrel-lsp on the PATH and Neovim in the unit's folder,
-- as a user starts it in the project. Every extension the server indexes
-- must get the pascal type and the client; then the outline, "Insert
-- bookmark" at the cursor and a workspace symbol. Exits 0 when every check
-- holds.
local kestrel = dofile(vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':h') .. '/kestrel.lua')
local check, server, unit = kestrel.check, kestrel.server, kestrel.unit
local readme = assert(os.getenv('KESTREL_SETUP_PAGE'), 'KESTREL_SETUP_PAGE not set')

-- The first ```lua block after the "### Neovim" heading.
local function snippet()
  local lines, state = {}, 'before'
  for line in io.lines(readme) do
    if state == 'before' and line:match('^## Neovim') then
      state = 'section'
    elseif state == 'section' and line == '```lua' then
      state = 'inside'
    elseif state == 'inside' and line == '```' then
      return table.concat(lines, '\n')
    elseif state == 'inside' then
      table.insert(lines, line)
    end
  end
  error('no lua block in the docs page\'s Neovim section')
end

local function request(method, params)
  local answers = vim.lsp.buf_request_sync(0, method, params, 10000)
  local _, answer = next(answers or {})
  check(answer and answer.err == nil, method .. ' failed: ' .. vim.inspect(answers))
  return answer.result or {}
end

local function main()
  local folder = vim.fn.fnamemodify(unit, ':h')
  local bin = folder .. '/../bin'
  vim.fn.mkdir(bin, 'p')
  check(vim.loop.fs_symlink(server, bin .. '/kestrel-lsp'), 'cannot link the server')
  vim.env.PATH = bin .. ':' .. vim.env.PATH
  vim.cmd('cd ' .. vim.fn.fnameescape(folder))
  local names = { 'u2.pp', 'u3.p', 'u4.inc', 'u5.lpr', 'u6.dpr', 'u7.dpk', 'U8.PAS' }
  for _, name in ipairs(names) do
    vim.fn.writefile({ 'unit U;', 'procedure Other' .. name:sub(2, 2) .. ';', 'end.' }, name)
  end

  assert(load(snippet(), 'docs page'))()
  vim.cmd('filetype on')

  for _, name in ipairs(names) do
    vim.cmd('edit ' .. name)
    check(vim.bo.filetype == 'pascal', name .. ' has the type "' .. vim.bo.filetype .. '"')
    check(vim.wait(10000, function() return #vim.lsp.buf_get_clients(0) == 1 end),
      name .. ' has no client')
  end
  vim.cmd('edit ' .. vim.fn.fnameescape(unit))
  local client_id, client = next(vim.lsp.buf_get_clients(0))
  check(client and client.name == 'kestrel', 'the unit has no kestrel client')
  check(vim.wait(10000, function() return client.initialized end), 'the server did not initialize')

  local symbols = request('textDocument/documentSymbol',
    { textDocument = vim.lsp.util.make_text_document_params() })
  check(#symbols == 2 and symbols[1].name == 'Unit1' and symbols[2].name == 'implementation',
    'outline: ' .. vim.inspect(symbols))

  -- Line 41 is "  FName := AName;"; the cursor stands on the ":".
  vim.api.nvim_win_set_cursor(0, { 41, 8 })
  local before = vim.api.nvim_buf_get_changedtick(0)
  vim.ui.select = function(items, _, on_choice)
    for index, item in ipairs(items) do
      if item[2].title == 'Insert bookmark' then
        return on_choice(item, index)
      end
    end
    on_choice(nil, nil)
  end
  vim.lsp.buf.code_action()
  check(vim.wait(10000, function() return vim.api.nvim_buf_get_changedtick(0) ~= before end),
    'Insert bookmark did not change the buffer')
  local line = vim.api.nvim_buf_get_lines(0, 40, 41, true)[1]
  check(line == '  FName {//*}:= AName;', 'after the insertion the line reads "' .. line .. '"')

  -- The workspace is the folder Neovim was started in: its other files are
  -- found without being open in the window.
  local found
  check(vim.wait(10000, function()
    found = request('workspace/symbol', { query = 'Other' })
    local others = vim.tbl_filter(function(symbol) return symbol.name:match('^Other%d$') end, found)
    return #others == #names
  end), 'workspace symbols for "Other": ' .. vim.inspect(found))
  found = request('workspace/symbol', { query = 'GetArea' })
  check(#found >= 2, 'workspace symbols for "GetArea": ' .. vim.inspect(found))

  vim.lsp.stop_client(client_id)
  check(vim.wait(10000, function() return vim.lsp.get_client_by_id(client_id) == nil end),
    'the server did not stop')
end

kestrel.run('readme', main)
