-- Neovim's built-in LSP client moving about the sample unit and a program
-- that uses it, through the client's own commands: declaration and
-- implementation between a method's heading and its class, definition from
-- the program into the unit, and hover's floating window. Exits 0 when
-- every check holds.
local kestrel = dofile(vim.fn.fnamemodify(debug.getinfo(1, 'S').source:sub(2), ':h') .. '/kestrel.lua')
local check, server, unit = kestrel.check, kestrel.server, kestrel.unit
local folder = vim.fn.fnamemodify(unit, ':h')
local program = folder .. '/Main.pas'

-- Puts the cursor on the first `word` of line `line` (1-based) and runs
-- `move`; waits until the cursor has left that place, and gives where it
-- went: "file:line:column".
local function jump(line, word, move)
  local column = vim.fn.getline(line):find(word, 1, true)
  check(column, 'no "' .. word .. '" on line ' .. line)
  vim.api.nvim_win_set_cursor(0, { line, column })
  local before = vim.fn.expand('%:t') .. ':' .. line .. ':' .. column
  move()
  local place
  check(vim.wait(10000, function()
    local cursor = vim.api.nvim_win_get_cursor(0)
    place = vim.fn.expand('%:t') .. ':' .. cursor[1] .. ':' .. cursor[2]
    return place ~= before
  end), 'the cursor stayed on line ' .. line)
  return place
end

-- The text of the floating window that hover opens.
local function hover_text(line, word)
  local column = vim.fn.getline(line):find(word, 1, true)
  vim.api.nvim_win_set_cursor(0, { line, column })
  vim.lsp.buf.hover()
  local text
  check(vim.wait(10000, function()
    for _, window in ipairs(vim.api.nvim_list_wins()) do
      if vim.api.nvim_win_get_config(window).relative ~= '' then
        local buffer = vim.api.nvim_win_get_buf(window)
        text = table.concat(vim.api.nvim_buf_get_lines(buffer, 0, -1, false), '\n')
        return true
      end
    end
    return false
  end), 'no hover window')
  return text
end

local function main()
  vim.fn.writefile({ 'program Main;', '', 'uses Unit1;', '', 'begin', '  RegisterShapes;', 'end.' },
    program)
  vim.cmd('edit ' .. vim.fn.fnameescape(unit))
  local exit_code
  local client_id = vim.lsp.start_client({
    name = 'kestrel',
    cmd = { server },
    root_dir = folder,
    on_exit = function(code) exit_code = code end,
  })
  check(client_id, 'the client did not start')
  vim.lsp.buf_attach_client(0, client_id)
  check(vim.wait(10000, function()
    local client = vim.lsp.get_client_by_id(client_id)
    return client and client.initialized
  end), 'the server did not initialize')

  -- From `constructor TShape.Create` to its declaration in the class, and
  -- back.
  local place = jump(39, 'Create', vim.lsp.buf.declaration)
  check(place == 'Unit1.pas:17:16', 'declaration went to ' .. place)
  place = jump(17, 'Create', vim.lsp.buf.implementation)
  check(place == 'Unit1.pas:39:19', 'implementation went to ' .. place)

  local hover = hover_text(56, 'Create')
  check(hover:find('constructor Create(const AName: string);', 1, true)
    and hover:find('Declared in Unit1.pas, line 17, in `TShape`', 1, true), 'hover: ' .. hover)
  for _, window in ipairs(vim.api.nvim_list_wins()) do
    if vim.api.nvim_win_get_config(window).relative ~= '' then
      vim.api.nvim_win_close(window, true)
    end
  end

  -- From the program's call into the unit that declares the routine, once
  -- the index holds the folder.
  vim.cmd('edit ' .. vim.fn.fnameescape(program))
  vim.lsp.buf_attach_client(0, client_id)
  check(vim.wait(10000, function()
    local answers = vim.lsp.buf_request_sync(0, 'workspace/symbol', { query = 'RegisterShapes' }, 10000)
    return answers and answers[client_id] and #(answers[client_id].result or {}) > 0
  end), 'the index never held the unit')
  place = jump(6, 'RegisterShapes', vim.lsp.buf.definition)
  check(place == 'Unit1.pas:69:10', 'definition went to ' .. place)

  vim.lsp.stop_client(client_id)
  check(vim.wait(10000, function() return exit_code ~= nil end), 'the server did not exit')
  check(exit_code == 0, 'the server exited with ' .. tostring(exit_code))
end

kestrel.run('navigation', main)
